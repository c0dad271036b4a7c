#include "modules/wave_table.h"

#include <algorithm>
#include <cmath>

namespace larkspur::wave {
namespace {

constexpr double kTwoPi = 6.2831854;
constexpr double kWholeTolerance = 0.01;  // of a period
constexpr double kHalf = 0.5;
constexpr std::int16_t kTwosComplement = 1;
constexpr std::int16_t kTableBits = 16;

// The value at a phase, and the phase of the next sample.
class Generator {
  public:
    Generator(Shape shape, double amplitude, double cyclesPerSample)
        : shape_(shape), amplitude_(amplitude), step_(cyclesPerSample) {
        if (shape_ == Shape::Sine)
            step_ *= kTwoPi;
    }

    double Next() {
        double value = 0;
        switch (shape_) {
            case Shape::Sine:
                value = amplitude_ * std::cos(phase_);
                phase_ += step_;
                if (phase_ > kTwoPi)
                    phase_ -= kTwoPi;
                break;
            case Shape::Square:
                value = phase_ < 0 ? -amplitude_ : amplitude_;
                phase_ += step_;
                if (phase_ > kHalf)
                    phase_ -= 1;
                break;
            case Shape::Triangle:
                value = amplitude_ * 2 * phase_;
                phase_ += 2 * step_;
                if (phase_ > kHalf) {
                    phase_ -= 1;
                    amplitude_ = -amplitude_;
                }
                break;
        }
        return value;
    }

  private:
    Shape shape_;
    double amplitude_;
    double step_;
    double phase_ = 0;
};

}  // namespace

Fit FitTable(float waveHz, float clockHz) {
    const double f = waveHz;
    const double fc = clockHz;
    if (fc / kClockPerWave < f)
        return {static_cast<float>(fc / kClockPerWave), kMinTableLength};
    // Whole periods in the shortest table; none at all is no fit.
    const double periods = f * kMinTableLength / fc;
    const double whole = std::floor(periods + kHalf);
    if (std::fabs(whole - periods) < kWholeTolerance && whole >= 1)
        return {waveHz, kMinTableLength};
    const float ratio = static_cast<float>(f / fc);
    float best = 1.0f;
    std::int32_t length = kMinTableLength;
    for (std::int32_t i = kMinTableLength; i <= kMaxTableLength; ++i) {
        const float m = static_cast<float>(i) * ratio;
        const float error = std::fabs(m - std::floor(m + 0.5f));
        if (error < best) {
            best = error;
            length = i;
        }
    }
    const double cycles = std::floor(static_cast<double>(ratio) * length + kHalf);
    return {static_cast<float>(fc * cycles / length), length};
}

std::vector<std::int16_t> BuildTable(Shape shape, std::int32_t length, double amplitude,
                                     double cyclesPerSample, const Scale& scale) {
    const int bits = std::clamp<int>(scale.resolution, 1, kTableBits);
    const std::int32_t half = std::int32_t{1} << (bits - 1);
    const std::int32_t mask = (std::int32_t{1} << bits) - 1;
    Generator generator(shape, amplitude, cyclesPerSample);
    std::vector<std::int16_t> table(static_cast<std::size_t>(std::max(length, 0)));
    for (std::int16_t& entry : table) {
        // Held to the codes of the resolution: a peak at the range's limit is the top code.
        const double held =
            std::clamp(generator.Next(), static_cast<double>(-half), static_cast<double>(half - 1));
        auto code = static_cast<std::int32_t>(std::nearbyint(held));
        if (scale.encoding != kTwosComplement)
            code = (code + half) & mask;
        entry = static_cast<std::int16_t>(static_cast<std::uint16_t>(code));
    }
    return table;
}

}  // namespace larkspur::wave
