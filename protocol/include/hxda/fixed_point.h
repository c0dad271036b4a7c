// 32.32 fixed-point pair in which frequencies, gains and voltage limits cross to a board driver.
#pragma once

#include <cstdint>

namespace hxda {

// A u32 fraction word followed by an i32 integer word. The fraction word counts units of
// 1/4294967295, so a fraction word of 0xFFFFFFFF is one whole unit.
struct FixedPoint {
    std::uint32_t fraction;
    std::int32_t integer;
};
static_assert(sizeof(FixedPoint) == 8);

inline constexpr std::uint32_t kFixedPointUnit = 0xFFFFFFFFu;

// integer = floor(value), fraction = trunc((value - integer) x 4294967295). The fraction is never
// negative, so negative non-integers survive the round trip; for non-negative values and for
// integers this is the same pair as a truncating integer part gives. NaN encodes as 0; values
// outside the integer word's range saturate.
constexpr FixedPoint encodeFixedPoint(double value) {
    if (!(value == value))
        return {0, 0};
    if (value < -2147483648.0)
        return {0, INT32_MIN};
    if (value >= 2147483648.0)
        return {kFixedPointUnit, INT32_MAX};
    auto whole = static_cast<std::int64_t>(value);
    if (static_cast<double>(whole) > value)
        --whole;
    const double fraction = (value - static_cast<double>(whole)) * 4294967295.0;
    return {static_cast<std::uint32_t>(fraction), static_cast<std::int32_t>(whole)};
}

constexpr double decodeFixedPoint(FixedPoint pair) {
    return static_cast<double>(pair.integer) + static_cast<double>(pair.fraction) / 4294967295.0;
}

}  // namespace hxda
