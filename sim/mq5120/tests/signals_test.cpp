// Input signals over time: the exact phase however long the board has run, and blocks of times
// against the signal at each time.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mq5120/signals.h"

namespace mq5120 {
namespace {

constexpr std::int64_t kDayUnits = 86'400 * kSignalUnitsPerSecond;
constexpr std::int64_t kYearUnits = 365 * kDayUnits;
constexpr std::int64_t kTicks500kHz = 36 * kSignalUnitsPerTick;

SignalTime Seconds(std::int64_t whole, std::int64_t nanoseconds = 0) {
    return {whole * kSignalUnitsPerSecond + nanoseconds * kSignalUnitsPerNs};
}

// A year after power-on the phase is still exact: a sine crosses zero and a square changes level
// where the period says, to the unit (1/18 ns). A phase from seconds in a double would be off by
// microradians there.
TEST(InputSignals, ThePhaseStaysExactAYearAfterPowerOn) {
    const Signal sine = Signal::Sine(5.0, 50.0, 1.0);
    const Signal square = Signal::Square(-1.0, 2.0, 10.0);
    for (const std::int64_t after : {std::int64_t{0}, kDayUnits, kYearUnits}) {
        const SignalTime t{after};
        EXPECT_NEAR(sine.VoltsAt(t), 1.0, 1e-12) << after;
        EXPECT_NEAR(sine.VoltsAt(SignalTime{after + Seconds(0, 5'000'000).units}), 6.0, 1e-12)
            << after;
        EXPECT_NEAR(sine.VoltsAt(SignalTime{after + Seconds(0, 10'000'000).units}), 1.0, 1e-12)
            << after;
        EXPECT_EQ(square.VoltsAt(t), 2.0) << after;
        EXPECT_EQ(square.VoltsAt(SignalTime{after + Seconds(0, 50'000'000).units - 1}), 2.0)
            << after;
        EXPECT_EQ(square.VoltsAt(SignalTime{after + Seconds(0, 50'000'000).units}), -1.0) << after;
        EXPECT_EQ(square.VoltsAt(SignalTime{after + Seconds(0, 100'000'000).units - 1}), -1.0)
            << after;
    }
}

// Against an independent computation in extended precision, for frequencies that are no binary
// fractions, up to times where extended precision still resolves the phase.
TEST(InputSignals, SineFollowsItsFrequencyAtAnyTime) {
    for (const double hz : {0.7e-3, 1.0 / 3.0, 50.0, 1234.5678, 123456.789, 249999.9}) {
        const Signal sine = Signal::Sine(1.0, hz);
        for (const std::int64_t units : {std::int64_t{1}, kTicks500kHz * 12'345,
                                         Seconds(1, 1).units, Seconds(997, 123'457).units}) {
            const long double cycles = static_cast<long double>(hz) * units / kSignalUnitsPerSecond;
            const long double expected = std::sin(2.0L * M_PI * (cycles - std::floor(cycles)));
            EXPECT_NEAR(sine.VoltsAt(SignalTime{units}), static_cast<double>(expected), 1e-9)
                << hz << " Hz at " << units;
        }
    }
    EXPECT_EQ(Signal::Sine(1.0, -50.0).VoltsAt(Seconds(0, 5'000'000)), -1.0) << "backwards";
    EXPECT_EQ(Signal::Sine(2.0, 0.0, 0.5).VoltsAt(Seconds(3)), 0.5);
}

// A block's volts against the signal at each of its times, from power-on and a day later, over
// long runs at the board's top clock and slower, for frequencies from the slow to beyond the
// clock: the sine's recurrence stays far below its bound, and its bound far below half a code of
// the finest converter at its highest gain; everything else is exact.
TEST(InputSignals, BlocksAreTheSignalAtEachTime) {
    constexpr std::size_t kRun = 1'000'000;                    // 2 s at the top clock
    constexpr double kHalfCodeVolts = 0.5 * 20.0 / 65536 / 8;  // 16 bits at gain 8
    const std::vector<Signal> signals = {
        Signal::Sine(10.0, 50.0),        Signal::Sine(2.0, 1000.0, 1.0),
        Signal::Sine(10.0, 12345.678),   Signal::Sine(10.0, 249999.9),
        Signal::Sine(10.0, 250000.0),    Signal::Sine(10.0, 500000.0),
        Signal::Sine(10.0, 3.1e6),       Signal::Square(-1.0, 2.0, 10.0),
        Signal::Square(0.0, 1.0, 33333), Signal::Constant(-2.5),
    };
    std::vector<double> volts(kRun);
    for (const Signal& signal : signals) {
        EXPECT_LT(signal.BlockErrorVolts(), kHalfCodeVolts * 1e-3);
        for (const std::int64_t start : {std::int64_t{0}, kDayUnits + 17})
            for (const std::int64_t step : {kTicks500kHz, 18'000 * kSignalUnitsPerTick}) {
                const SignalTimes times{{start}, step, kRun};
                signal.Volts(times, volts);
                double worst = 0;
                for (std::size_t m = 0; m < kRun; ++m)
                    worst = std::max(worst, std::fabs(volts[m] - signal.VoltsAt(times[m])));
                EXPECT_LE(worst, signal.BlockErrorVolts() / 100)
                    << static_cast<int>(signal.kind) << " " << signal.frequencyHz << " Hz from "
                    << start << " every " << step;
            }
    }
}

}  // namespace
}  // namespace mq5120
