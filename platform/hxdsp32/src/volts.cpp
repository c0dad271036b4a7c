// Raw codes to volts.
#include <cmath>
#include <cstring>

#include "buffers.h"
#include "hxdsp32.h"

namespace {

constexpr int kMaxResolution = 32;
constexpr unsigned kBitsPerByte = 8;

std::uint32_t RawCode(const void* data, std::uint32_t width, std::uint32_t index) {
    const auto* bytes = static_cast<const unsigned char*>(data) + std::size_t{index} * width;
    switch (width) {
        case 1:
            return *bytes;
        case 2: {
            std::uint16_t value;
            std::memcpy(&value, bytes, sizeof value);
            return value;
        }
        default: {
            std::uint32_t value;
            std::memcpy(&value, bytes, sizeof value);
            return value;
        }
    }
}

std::uint32_t InputToVolts(HBUF input, HBUF output, uint32_t encoding, float minRange,
                           float maxRange, int16_t resolution) {
    hxdsp32::InputView view;
    if (const std::uint32_t status = hxdsp32::ReadInput(input, view); status != HXDSP_NOERROR)
        return status;
    if (const std::uint32_t status = hxdsp32::CheckOutput(output); status != HXDSP_NOERROR)
        return status;
    if (view.width != 1 && view.width != 2 && view.width != 4)
        return HXDSP_BADSAMPLESIZE;
    if (encoding != HXDSP_ENCODING_OFFSETBINARY && encoding != HXDSP_ENCODING_TWOSCOMPLEMENT)
        return HXDSP_BADENCODING;
    if (resolution < 1 || resolution > kMaxResolution ||
        static_cast<unsigned>(resolution) > view.width * kBitsPerByte)
        return HXDSP_BADRESOLUTION;
    if (!(maxRange > minRange))
        return HXDSP_BADRANGE;

    const double codes = std::ldexp(1.0, resolution);
    const std::uint64_t mask = (std::uint64_t{1} << resolution) - 1;
    const double span = static_cast<double>(maxRange) - static_cast<double>(minRange);
    const bool twos = encoding == HXDSP_ENCODING_TWOSCOMPLEMENT;
    const double base = twos ? (static_cast<double>(maxRange) + minRange) / 2 : minRange;

    std::vector<float> volts(view.valid);
    for (std::uint32_t i = 0; i < view.valid; ++i) {
        const std::uint64_t masked = RawCode(view.data, view.width, i) & mask;
        double code = static_cast<double>(masked);
        if (twos && code >= codes / 2)
            code -= codes;
        volts[i] = static_cast<float>(base + span * code / codes);
    }
    return hxdsp32::StoreFloats(output, volts);
}

}  // namespace

extern "C" uint32_t HXDSPAPI hxDspInputToVolts(HBUF input, HBUF output, uint32_t encoding,
                                               float minRange, float maxRange, int16_t resolution) {
    return hxdsp32::Guarded(
        [&] { return InputToVolts(input, output, encoding, minRange, maxRange, resolution); });
}
