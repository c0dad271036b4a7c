// Input signals, one time or a block of times at once, and the converter's transfer function.
#include "mq5120/signals.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "converter.h"
#include "signal_phase.h"

namespace mq5120 {
namespace {

constexpr double kTwoPi = 2.0 * M_PI;
// A rotation's error grows by a few units in the last place per step; over a span of 1024 times
// (256 steps of each chain) it stays below 1e-12 of the amplitude. The bound keeps a wide margin.
constexpr double kSineRecurrenceError = 1e-10;
// What rounding adds once the amplitude has been applied and the offset added.
constexpr double kRoundingError = 0x1p-51;

double SineVolts(const Signal& s, double phaseFraction) {
    return s.offset + s.amplitude * std::sin(kTwoPi * phaseFraction);
}

// Each span of times starts from the exact phase of its first time; its next kSineChains - 1
// times follow by single steps, and from there each of these kSineChains (cos, sin) pairs turns by
// kSineChains steps: independent chains, so that they run side by side.
constexpr std::size_t kSineChains = 4;

void SineBlock(const Signal& s, const SignalTimes& times, std::span<double> volts) {
    if (times.count == 0)
        return;
    const SignalPhase phase(s.frequencyHz);
    const double offset = s.offset, amplitude = s.amplitude;  // held apart from the volts written
    auto angleAt = [&](SignalTime t) { return kTwoPi * phase.Fraction(phase.RemainderAt(t)); };
    const double turn = angleAt({times.step});
    const double turnCos = std::cos(turn), turnSin = std::sin(turn);
    const double chainTurn = angleAt({times.step * static_cast<std::int64_t>(kSineChains)});
    const double stepCos = std::cos(chainTurn), stepSin = std::sin(chainTurn);
    for (std::size_t i = 0; i < times.count; i += Signal::kSineRecurrenceSpan) {
        const std::size_t end = std::min(times.count, i + Signal::kSineRecurrenceSpan);
        std::array<double, kSineChains> c{}, sn{};
        const double angle = angleAt(times[i]);
        c[0] = std::cos(angle);
        sn[0] = std::sin(angle);
        volts[i] = offset + amplitude * sn[0];
        const std::size_t seeds = std::min(end - i, kSineChains);
        for (std::size_t k = 1; k < seeds; ++k) {
            c[k] = c[k - 1] * turnCos - sn[k - 1] * turnSin;
            sn[k] = sn[k - 1] * turnCos + c[k - 1] * turnSin;
            volts[i + k] = offset + amplitude * sn[k];
        }
        std::size_t j = i + seeds;
        for (; j + kSineChains <= end; j += kSineChains) {
#pragma GCC unroll 4  // the chains in registers
            for (std::size_t k = 0; k < kSineChains; ++k) {
                const double next = c[k] * stepCos - sn[k] * stepSin;
                sn[k] = sn[k] * stepCos + c[k] * stepSin;
                c[k] = next;
                volts[j + k] = offset + amplitude * sn[k];
            }
        }
        for (std::size_t k = 0; j < end; ++j, ++k)
            volts[j] = offset + amplitude * (sn[k] * stepCos + c[k] * stepSin);
    }
}

// The phase in whole numbers: exact at every time, stepped without division.
void SquareBlock(const Signal& s, const SignalTimes& times, std::span<double> volts) {
    if (times.count == 0)
        return;
    const SignalPhase phase(s.frequencyHz);
    const double high = s.amplitude, low = s.offset;
    SignalPhase::Wide r = phase.RemainderAt(times.first);
    const SignalPhase::Wide step = phase.RemainderAt({times.step});
    for (std::size_t j = 0; j < times.count; ++j) {
        volts[j] = phase.InFirstHalf(r) ? high : low;
        r = phase.Add(r, step);
    }
}

}  // namespace

SignalTime SignalTime::FromSeconds(double seconds) {
    return {std::llround(seconds * static_cast<double>(kSignalUnitsPerSecond))};
}

double Signal::VoltsAt(SignalTime t) const {
    switch (kind) {
        case Kind::Constant:
        case Kind::Codes:
        case Kind::Pattern:
            return offset;
        case Kind::AnalogOutput:
            return 0.0;
        case Kind::Sine: {
            const SignalPhase phase(frequencyHz);
            return SineVolts(*this, phase.Fraction(phase.RemainderAt(t)));
        }
        case Kind::Square: {
            const SignalPhase phase(frequencyHz);
            return phase.InFirstHalf(phase.RemainderAt(t)) ? amplitude : offset;
        }
    }
    return 0.0;
}

void Signal::Volts(const SignalTimes& times, std::span<double> volts) const {
    switch (kind) {
        case Kind::Sine:
            SineBlock(*this, times, volts);
            return;
        case Kind::Square:
            SquareBlock(*this, times, volts);
            return;
        default:
            std::fill(volts.begin(), volts.begin() + static_cast<std::ptrdiff_t>(times.count),
                      VoltsAt(times.first));
            return;
    }
}

double Signal::BlockErrorVolts() const {
    if (kind != Kind::Sine)
        return 0.0;
    return std::fabs(amplitude) * kSineRecurrenceError + PeakVolts() * kRoundingError;
}

double Signal::PeakVolts() const {
    switch (kind) {
        case Kind::Sine:
            return std::fabs(offset) + std::fabs(amplitude);
        case Kind::Square:
            return std::max(std::fabs(offset), std::fabs(amplitude));
        case Kind::AnalogOutput:
            return 0.0;
        default:
            return std::fabs(offset);
    }
}

std::uint16_t CodeFor(double volts, int gain, int resolution) {
    const double full = FullScale(resolution);
    return CodeOfInput(ConverterInput(volts, gain, full), full);
}

}  // namespace mq5120
