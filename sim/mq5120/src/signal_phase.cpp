// The exact phase of a periodic signal.
#include "signal_phase.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace mq5120 {
namespace {

constexpr int kMantissaBits = 53;
constexpr int kFinestExponent = -64;  // frequencies in steps of 2^-64 Hz
constexpr int kLargestExponent = 63;  // beyond 2^63 Hz: taken as 0
constexpr auto kUnitsPerSecond = static_cast<std::uint64_t>(kSignalUnitsPerSecond);

}  // namespace

SignalPhase::SignalPhase(double frequencyHz) {
    if (!std::isfinite(frequencyHz) || frequencyHz == 0.0)
        return;
    backwards_ = frequencyHz < 0;
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(frequencyHz), &exponent);
    if (exponent > kLargestExponent)
        return;
    // |f| = mantissa * 2^shift with a 53-bit mantissa; held to the finest step.
    int shift = exponent - kMantissaBits;
    double mantissa = std::ldexp(fraction, kMantissaBits);
    if (shift < kFinestExponent) {
        mantissa = std::nearbyint(std::ldexp(mantissa, shift - kFinestExponent));
        shift = kFinestExponent;
    }
    auto m = static_cast<Wide>(static_cast<std::uint64_t>(mantissa));
    if (m == 0)
        return;
    // The smallest modulus: fewer bits in every product.
    const int zeros =
        std::min(std::countr_zero(static_cast<std::uint64_t>(m)), std::max(-shift, 0));
    m >>= zeros;
    shift += zeros;
    if (shift >= 0) {
        modulus_ = kUnitsPerSecond;
        multiplier_ = (m << shift) % modulus_;
    } else {
        modulus_ = static_cast<Wide>(kUnitsPerSecond) << -shift;
        multiplier_ = m;
    }
}

// m * u mod M. For e < 0 the product is below 2^53 * 2^64 = 2^117 (u mod M <= u); for e >= 0 the
// multiplier and u mod M are below M < 2^35 each.
SignalPhase::Wide SignalPhase::Forward(std::uint64_t units) const {
    return multiplier_ * (static_cast<Wide>(units) % modulus_) % modulus_;
}

SignalPhase::Wide SignalPhase::RemainderAt(SignalTime t) const {
    const bool negative = (t.units < 0) != backwards_;
    const std::uint64_t magnitude =
        t.units < 0 ? 0 - static_cast<std::uint64_t>(t.units) : static_cast<std::uint64_t>(t.units);
    const Wide r = Forward(magnitude);
    return negative && r != 0 ? modulus_ - r : r;
}

double SignalPhase::Fraction(Wide r) const {
    return static_cast<double>(r) / static_cast<double>(modulus_);
}

}  // namespace mq5120
