#include "utility/conversion.h"

#include <cmath>
#include <cstdint>

#include "hxda/api_status.h"
#include "hxdaapi32.h"

namespace hxda {
namespace {

constexpr std::uint32_t kMaxResolution = 32;

// The low `bits` bits of a code as a signed number.
std::int64_t signExtended(std::int32_t code, std::uint32_t bits) {
    if (bits == 0 || bits >= 32)
        return code;
    const std::uint32_t mask = (1u << bits) - 1;
    const std::uint32_t value = static_cast<std::uint32_t>(code) & mask;
    const std::uint32_t sign = 1u << (bits - 1);
    return (value & sign) ? static_cast<std::int64_t>(value) - (std::int64_t{1} << bits)
                          : static_cast<std::int64_t>(value);
}

}  // namespace

ApiStatus checkConversion(double minimum, double maximum, double gain, std::uint32_t resolution,
                          std::uint32_t encoding) {
    if (resolution > kMaxResolution)
        return HXINVALIDRESOLUTION;
    if (encoding != HXENCODING_BINARY && encoding != HXENCODING_TWOSCOMP)
        return HXINVALIDENCODING;
    if (!(minimum < maximum))
        return HXINVALIDRANGE;
    if (!(gain > 0.0))
        return HXINVALIDGAIN;
    return HXNOERROR;
}

double codeToVolts(double minimum, double maximum, double gain, std::uint32_t resolution,
                   std::uint32_t encoding, std::int32_t code) {
    const double span = maximum - minimum;
    if (encoding == HXENCODING_TWOSCOMP) {
        const double half = std::ldexp(1.0, static_cast<int>(resolution) - 1);
        const double middle = (minimum + maximum) / 2.0;
        return (middle + static_cast<double>(signExtended(code, resolution)) / half * span / 2.0) /
               gain;
    }
    return (minimum +
            static_cast<double>(code) / std::ldexp(1.0, static_cast<int>(resolution)) * span) /
           gain;
}

std::int32_t voltsToCode(double minimum, double maximum, double gain, std::uint32_t resolution,
                         std::uint32_t encoding, double volts) {
    const double span = maximum - minimum;
    double code = 0.0;
    if (encoding == HXENCODING_TWOSCOMP)
        code = (volts / gain - (minimum + maximum) / 2.0) / (span / 2.0) *
               std::ldexp(1.0, static_cast<int>(resolution) - 1);
    else
        code = (volts / gain - minimum) / span * std::ldexp(1.0, static_cast<int>(resolution));
    // Beyond what the result word holds (or not a number), the nearest value it does hold.
    if (std::isnan(code))
        return 0;
    code = std::trunc(code);
    if (code <= static_cast<double>(INT32_MIN))
        return INT32_MIN;
    if (code >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    return static_cast<std::int32_t>(code);
}

}  // namespace hxda
