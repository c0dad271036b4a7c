// The exact phase of a periodic signal at a conversion time: the fraction of its period, as an
// integer remainder R of a modulus M (phase = R / M), so that phases add without rounding and no
// drift builds up however long the board runs. A frequency f is a binary fraction m * 2^e; the
// cycles at time u (units of 1 / kSignalUnitsPerSecond s) are m * u * 2^e / kSignalUnitsPerSecond,
// whose fraction is computed in 128-bit integers. Frequencies are taken to the nearest multiple
// of 2^-64 Hz; a negative frequency runs the phase backwards; a frequency that is not finite, or
// beyond 2^63 Hz, is taken as 0.
#pragma once

#include <cstdint>

#include "mq5120/signals.h"

namespace mq5120 {

class SignalPhase {
  public:
    using Wide = unsigned __int128;

    explicit SignalPhase(double frequencyHz);

    // The remainder at time t: 0 <= R < Modulus().
    Wide RemainderAt(SignalTime t) const;
    // The remainder `step` later: (r + RemainderAt(step)) mod M, given `stepRemainder` =
    // RemainderAt(step).
    Wide Add(Wide r, Wide stepRemainder) const {
        r += stepRemainder;
        return r >= modulus_ ? r - modulus_ : r;
    }
    Wide Modulus() const { return modulus_; }
    // R / M, rounded to a double in [0, 1).
    double Fraction(Wide r) const;
    // Whether R / M < 1/2, exactly.
    bool InFirstHalf(Wide r) const { return 2 * r < modulus_; }

  private:
    Wide Forward(std::uint64_t units) const;
    Wide multiplier_ = 0;  // m, or m * 2^e mod M for e >= 0
    Wide modulus_ = 1;
    bool backwards_ = false;
};

}  // namespace mq5120
