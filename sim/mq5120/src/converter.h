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

// The converter's function over a block of volts that carry an error: the input by one multiply
// and add (the exact input lies within `margin` of it), and its code where no code boundary lies
// within that margin.
struct ConverterLine {
    double slope = 0;      // codes per volt, at the gain
    double intercept = 0;  // the input at 0 V
    double margin = 0;
    double top = 0;  // the highest code

    // Whether the code of `volts` is certain, and the code if so.
    bool Code(double volts, std::uint16_t* code) const {
        const double input = volts * slope + intercept;
        const auto low = static_cast<std::int32_t>(Held(input - margin));
        const auto high = static_cast<std::int32_t>(Held(input + margin));
        *code = static_cast<std::uint16_t>(low);
        return low == high;
    }
    // Codes of a whole block at once (vectorised); false when one of them is not certain.
    bool Codes(const double* volts, std::uint16_t* codes, std::size_t count) const;

    double Held(double input) const {
        input = input > 0.0 ? input : 0.0;
        return input < top ? input : top;
    }
};

}  // namespace mq5120
