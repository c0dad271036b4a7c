// The converter's transfer function in two steps, for CodeFor and for conversions in blocks alike:
// the converter's input in code units, which grows with the volts (every step of it is a
// correctly rounded operation that never decreases), and the code it gives. The library is built
// without contracting floating-point operations, so both uses round alike.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mq5120 {

// Codes across the -10..+10 V range: 2^resolution.
inline double FullScale(int resolution) {
    return std::ldexp(1.0, resolution);
}

inline double ConverterInput(double volts, int gain, double fullScale) {
    return (volts * gain + 10.0) / 20.0 * fullScale + 0.5;
}

// The code: the input rounded down, held to the code range (truncating the held input is the
// same as holding the rounded-down input, for every finite input).
inline std::uint16_t CodeOfInput(double input, double fullScale) {
    return static_cast<std::uint16_t>(std::clamp(input, 0.0, fullScale - 1.0));
}

}  // namespace mq5120
