// Input signals of the simulated board, per single-ended channel, and the time source that paces
// the board's streams.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "mq5120/protocol.h"
#include "simclock/clock.h"

namespace mq5120 {

// The time of a conversion, exactly: units of 1/18 ns since the board's power-on, so that a tick
// of the base clock and a nanosecond of the time source are both whole numbers of units.
constexpr std::int64_t kSignalUnitsPerSecond = 18'000'000'000;
constexpr std::int64_t kSignalUnitsPerNs = kSignalUnitsPerSecond / 1'000'000'000;
constexpr std::int64_t kSignalUnitsPerTick = kSignalUnitsPerSecond / kBaseClockHz;
struct SignalTime {
    std::int64_t units = 0;
    static SignalTime FromSeconds(double seconds);
    double Seconds() const { return static_cast<double>(units) / kSignalUnitsPerSecond; }
    bool operator==(const SignalTime&) const = default;
};
// Evenly spaced times: first, first + step, ..., `count` of them.
struct SignalTimes {
    SignalTime first;
    std::int64_t step = 0;
    std::size_t count = 0;
    SignalTime operator[](std::size_t m) const {
        return {first.units + static_cast<std::int64_t>(m) * step};
    }
};

struct Signal {
    enum class Kind { Constant, Sine, Square, Codes, AnalogOutput, Pattern };
    Kind kind = Kind::Constant;
    double offset = 0.0;     // volts: the constant, the sine's centre, the square's low level
    double amplitude = 0.0;  // volts: the sine's amplitude, the square's high level
    double frequencyHz = 0.0;
    // Codes: the n-th conversion of the channel reads (codeStart + n * codeStep) modulo the
    // converter's range, whatever the gain: for byte-exact tests.
    std::uint32_t codeStart = 0;
    std::uint32_t codeStep = 1;
    // AnalogOutput: the input is wired to this analog output (0-3) of the same board.
    int outputChannel = 0;
    // Pattern: the channel's conversions read these codes in turn (modulo the converter's range),
    // from the first one again after each change of the signal and each A/D start, whatever the
    // gain. An empty pattern reads 0.
    std::vector<std::uint32_t> pattern;

    static Signal Constant(double volts) { return {Kind::Constant, volts, 0, 0, 0, 1, 0, {}}; }
    static Signal Sine(double amplitude, double frequencyHz, double offset = 0.0) {
        return {Kind::Sine, offset, amplitude, frequencyHz, 0, 1, 0, {}};
    }
    static Signal Square(double low, double high, double frequencyHz) {
        return {Kind::Square, low, high, frequencyHz, 0, 1, 0, {}};
    }
    static Signal Codes(std::uint32_t start, std::uint32_t step = 1) {
        return {Kind::Codes, 0, 0, 0, start, step, 0, {}};
    }
    static Signal FromAnalogOutput(int channel) {
        return {Kind::AnalogOutput, 0, 0, 0, 0, 1, channel, {}};
    }
    static Signal Pattern(std::vector<std::uint32_t> codes) {
        Signal signal;
        signal.kind = Kind::Pattern;
        signal.pattern = std::move(codes);
        return signal;
    }

    // Volts of a signal that is a function of time (AnalogOutput reads 0 here: the board wires it).
    // A sine's and a square's phase is exact at every time: no drift however long the board runs.
    double VoltsAt(SignalTime t) const;
    double VoltsAt(double seconds) const { return VoltsAt(SignalTime::FromSeconds(seconds)); }
    // The volts at each of a block's times (volts.size() >= times.count), in one pass, each within
    // BlockErrorVolts() of VoltsAt at that time. A sine follows the times by rotations, from its
    // exact phase at the block's first time and every kSineRecurrenceSpan times; everything
    // else is exact.
    void Volts(const SignalTimes& times, std::span<double> volts) const;
    double BlockErrorVolts() const;
    // The largest magnitude the volts reach.
    double PeakVolts() const;
    // Whether the volts are the same at every time.
    bool IsLevel() const {
        return kind == Kind::Constant || kind == Kind::Codes || kind == Kind::Pattern;
    }

    static constexpr std::size_t kSineRecurrenceSpan = 1024;
};

// The converter's code for a voltage: range -10..+10 V, offset binary, right-justified.
std::uint16_t CodeFor(double volts, int gain, int resolution);

// Nanoseconds on the clock that paces the board: the stand-ins' clock, or a manual clock of the
// board's own for tests.
class TimeSource {
  public:
    virtual ~TimeSource() = default;
    virtual std::int64_t NowNs() = 0;
    // Whether time passes by itself, on the stand-ins' clock, so that the bus can sleep until
    // data is due; a clock that passes only when a test advances it is followed by a Wake.
    virtual bool FollowsStandInClock() const { return false; }
};

// The stand-ins' one clock (simclock/clock.h): real time, or the manual or virtual clock a test
// chose for the whole machine.
class RealTime final : public TimeSource {
  public:
    std::int64_t NowNs() override { return simclock::Now().count(); }
    bool FollowsStandInClock() const override { return true; }
};

// The platform stand-ins' one clock: real time, or the manual clock a test drives, so that a
// board on the machine keeps time with the kernel's timers.
class PlatformTime final : public TimeSource {
  public:
    std::int64_t NowNs() override { return simclock::Now().count(); }
    bool FollowsStandInClock() const override { return true; }
};

class ManualTime final : public TimeSource {
  public:
    std::int64_t NowNs() override { return now_.load(); }
    void Advance(std::chrono::nanoseconds step) { now_ += step.count(); }

  private:
    std::atomic<std::int64_t> now_{1'000'000'000};
};

}  // namespace mq5120
