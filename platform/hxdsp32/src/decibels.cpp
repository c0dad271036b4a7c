// Magnitudes in decibels relative to 1.
#include <cmath>

#include "buffers.h"
#include "hxdsp32.h"

namespace {
constexpr double kSmallestMagnitude = 1e-10;
constexpr double kDecibelsPerDecade = 20.0;

std::uint32_t MagToDb(HBUF input, HBUF output) {
    hxdsp32::InputView view;
    if (const std::uint32_t status = hxdsp32::ReadFloats(input, view); status != HXDSP_NOERROR)
        return status;
    if (const std::uint32_t status = hxdsp32::CheckOutput(output); status != HXDSP_NOERROR)
        return status;
    const float* in = hxdsp32::Floats(view);
    std::vector<float> db(view.valid);
    for (std::uint32_t i = 0; i < view.valid; ++i) {
        const double magnitude = std::fabs(static_cast<double>(in[i]));
        // A NaN fails the comparison and takes the floor too.
        db[i] = magnitude >= kSmallestMagnitude
                    ? static_cast<float>(kDecibelsPerDecade * std::log10(magnitude))
                    : HXDSP_MINIMUMDB;
    }
    return hxdsp32::StoreFloats(output, db);
}

}  // namespace

extern "C" uint32_t HXDSPAPI hxDspMagToDB(HBUF input, HBUF output) {
    return hxdsp32::Guarded([&] { return MagToDb(input, output); });
}
