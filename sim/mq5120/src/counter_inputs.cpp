// The counters' inputs over time: a signal on a clock input (a square's rising edges), a signal
// on a gate input (its level), a counter's clock wired to another counter's output; and the
// counters' output pulses (rate mode, one-shots), logged as edges.
#include <algorithm>
#include <cmath>

#include "board_state.h"

namespace mq5120 {
namespace {

constexpr double kGateHighVolts = 2.0;
constexpr double kNsPerSecond = 1e9;
constexpr int kCounterOutputChannel = 5;  // + c in the output log
// Edges of one advance processed one by one at most; past that the rest is counted at once.
constexpr std::uint64_t kMaxGateEdgesPerAdvance = 100'000;
constexpr std::uint64_t kMaxLoggedPulsesPerAdvance = 10'000;

std::uint64_t TicksOf(std::int64_t ns) {
    return static_cast<std::uint64_t>(ns) * (kBaseClockHz / 1'000'000) / 1000;
}
std::int64_t NsOfTicks(std::uint64_t ticks) {
    return static_cast<std::int64_t>(ticks * 1000 / (kBaseClockHz / 1'000'000));
}

// Times are whole nanoseconds turned into seconds: an edge that falls on an instant is counted
// at that instant, not a rounding later.
constexpr double kInstant = 1e-10;

// Rising edges of a square signal in (t0, t1], seconds: one at the start of each period.
std::uint64_t RisingEdges(const Signal& signal, double t0, double t1) {
    if (signal.kind != Signal::Kind::Square || !(signal.frequencyHz > 0.0) || t1 <= t0)
        return 0;
    const double a = std::floor(t0 * signal.frequencyHz + kInstant);
    const double b = std::floor(t1 * signal.frequencyHz + kInstant);
    return b > a ? static_cast<std::uint64_t>(b - a) : 0;
}

bool GateLevel(const Signal& signal, double seconds) {
    return signal.VoltsAt(seconds) >= kGateHighVolts;
}

}  // namespace

std::uint64_t BoardState::CounterOutputPulses(int c, std::int64_t now) {
    const CounterUnit& unit = counterUnits[c];
    if (CounterIsOneShot(c))
        return unit.outputPulses;
    if (!CounterIsRate(c) || !CounterRunning(c))
        return 0;
    const std::uint64_t period = static_cast<std::uint32_t>(1u - CounterRegister32(c, 0));
    if (period == 0)
        return 0;
    if (registers[kCounterBase + 5 * c + 4] & kCounterExternalClock)
        return unit.externalEdges / period;
    return now > unit.loadNs ? TicksOf(now - unit.loadNs) / period : 0;
}

void BoardState::OneShotTrigger(int c, std::int64_t ns) {
    CounterUnit& unit = counterUnits[c];
    const std::uint16_t mode = registers[kCounterBase + 5 * c + 4];
    if (!CounterRunning(c) || !(mode & kCounterArmed) || ns < unit.pulseEndNs)
        return;  // not armed, or a pulse is under way
    if (!(mode & kCounterRepeat) && unit.oneShotFired)
        return;  // a one-shot fires once per start
    const std::uint64_t period = static_cast<std::uint32_t>(1u - CounterRegister32(c, 0));
    const std::uint64_t active = static_cast<std::uint32_t>(0u - CounterRegister32(c, 2));
    // The pulse ends one period after the trigger; it is active for its width before that.
    const std::int64_t end = ns + NsOfTicks(period);
    const std::int64_t start = end - NsOfTicks(std::min(active, period));
    unit.oneShotFired = true;
    unit.pulseEndNs = end;
    ++unit.outputPulses;
    LogOutput(kCounterOutputChannel + c, 1, (start - epochNs) / kNsPerSecond);
    LogOutput(kCounterOutputChannel + c, 0, (end - epochNs) / kNsPerSecond);
}

void BoardState::CounterInputsAdvance(int c, std::int64_t now) {
    CounterUnit& unit = counterUnits[c];
    const std::int64_t from = unit.inputsNs;
    unit.inputsNs = now;
    if (now <= from)
        return;
    const double t0 = (from - epochNs) / kNsPerSecond;
    const double t1 = (now - epochNs) / kNsPerSecond;
    auto clockEdges = [&](double a, double b) {
        if (unit.clockSignal)
            return RisingEdges(*unit.clockSignal, a, b);
        return std::uint64_t{0};
    };
    // The gate's changes in time order, the clock's edges counted between them.
    double at = t0;
    if (unit.gateSignal && unit.gateSignal->kind == Signal::Kind::Square &&
        unit.gateSignal->frequencyHz > 0.0) {
        const double half = 0.5 / unit.gateSignal->frequencyHz;
        const double first = std::floor(t0 / half + kInstant) + 1;
        for (std::uint64_t k = 0; k < kMaxGateEdgesPerAdvance; ++k) {
            const double edge = (first + static_cast<double>(k)) * half;
            if (edge > t1 + kInstant)
                break;
            if (const std::uint64_t edges = clockEdges(at, edge); edges > 0)
                CounterEdges(c, edges);
            at = edge;
            const auto ns = epochNs + static_cast<std::int64_t>(edge * kNsPerSecond + 0.5);
            CounterGateAt(c, GateLevel(*unit.gateSignal, edge + half / 2), ns);
        }
    }
    if (const std::uint64_t edges = clockEdges(at, t1); edges > 0)
        CounterEdges(c, edges);
    if (unit.clockFrom >= 0) {
        const std::uint64_t pulses = CounterOutputPulses(unit.clockFrom, now);
        if (pulses > unit.sourcePulsesSeen)
            CounterEdges(c, pulses - unit.sourcePulsesSeen);
        unit.sourcePulsesSeen = pulses;
    }
}

void BoardState::CountersAdvance(std::int64_t now) {
    // Sources first, so that a counter wired to another sees its pulses up to now.
    for (int c = 0; c < 5; ++c) {
        CounterUnit& unit = counterUnits[c];
        if (CounterIsRate(c) && CounterRunning(c) &&
            !(registers[kCounterBase + 5 * c + 4] & kCounterExternalClock)) {
            // The rate output's pulses as edges: active for the width at the end of each period.
            const std::uint64_t period = static_cast<std::uint32_t>(1u - CounterRegister32(c, 0));
            const std::uint64_t active = static_cast<std::uint32_t>(0u - CounterRegister32(c, 2));
            const std::uint64_t pulses = CounterOutputPulses(c, now);
            for (std::uint64_t logged = 0;
                 unit.ratePulsesLogged < pulses && logged < kMaxLoggedPulsesPerAdvance; ++logged) {
                const std::uint64_t k = ++unit.ratePulsesLogged;
                const std::int64_t end = unit.loadNs + NsOfTicks(k * period);
                const std::int64_t start = end - NsOfTicks(std::min(active, period));
                LogOutput(kCounterOutputChannel + c, 1, (start - epochNs) / kNsPerSecond);
                LogOutput(kCounterOutputChannel + c, 0, (end - epochNs) / kNsPerSecond);
            }
            unit.ratePulsesLogged = std::max(unit.ratePulsesLogged, pulses);
        }
    }
    for (int c = 0; c < 5; ++c)
        CounterInputsAdvance(c, now);
}

}  // namespace mq5120
