// The five 32-bit counters: count events, up/down counting, pulse trains (rate mode) and the
// edge-to-edge measurement, driven by their registers and the test hooks' clock, gate and
// direction inputs.
#include "board_state.h"

namespace mq5120 {
namespace {

enum class CounterMode { CountEvents, UpDown, EdgeToEdge, Rate, OneShot };

}  // namespace

std::uint32_t BoardState::CounterRegister32(int c, int offset) const {
    const int base = kCounterBase + 5 * c + offset;
    return static_cast<std::uint32_t>(registers[base]) |
           (static_cast<std::uint32_t>(registers[base + 1]) << 16);
}

static CounterMode ModeOf(std::uint16_t mode, std::uint32_t period, std::uint32_t width) {
    if ((mode & kCounterUpDownPattern) == kCounterUpDownPattern)
        return CounterMode::UpDown;
    if ((mode & kCounterEdgeToEdgePattern) == kCounterEdgeToEdgePattern)
        return CounterMode::EdgeToEdge;
    if (mode & kCounterRate)
        return period == 0 && width == 0xFFFFFFFFu ? CounterMode::CountEvents : CounterMode::Rate;
    return CounterMode::OneShot;
}

bool BoardState::CounterIsRate(int c) const {
    return ModeOf(registers[kCounterBase + 5 * c + 4], CounterRegister32(c, 0),
                  CounterRegister32(c, 2)) == CounterMode::Rate;
}

bool BoardState::CounterIsOneShot(int c) const {
    return ModeOf(registers[kCounterBase + 5 * c + 4], CounterRegister32(c, 0),
                  CounterRegister32(c, 2)) == CounterMode::OneShot;
}

bool BoardState::CounterRunning(int c) const {
    return (registers[kRunEnables] & (1u << (5 + c))) != 0;
}

bool BoardState::CounterGateOpen(int c) const {
    switch ((registers[kCounterBase + 5 * c + 4] >> 2) & 3) {
        case 2:
            return counterUnits[c].gate;
        case 3:
            return !counterUnits[c].gate;
        default:
            return true;  // no gate
    }
}

void BoardState::CounterLoad(int c) {
    CounterUnit& unit = counterUnits[c];
    const std::uint16_t mode = registers[kCounterBase + 5 * c + 4];
    const auto kind = ModeOf(mode, CounterRegister32(c, 0), CounterRegister32(c, 2));
    unit.value = kind == CounterMode::UpDown ? CounterRegister32(c, 2) : 0;
    unit.externalEdges = 0;
    unit.loadNs = Now();
    unit.outputPulses = 0;
    unit.ratePulsesLogged = 0;
    unit.pulseEndNs = -1;
    unit.oneShotFired = false;
}

void BoardState::CounterModeWritten(int c, std::uint16_t old, std::uint16_t value) {
    const auto kind = ModeOf(value, CounterRegister32(c, 0), CounterRegister32(c, 2));
    if (kind == CounterMode::EdgeToEdge && (value & kCounterMeasure) && !(old & kCounterMeasure)) {
        registers[kCounterStatus] |= static_cast<std::uint16_t>(1u << (5 + c));
        counterUnits[c].measureStarted = false;
    } else if (!(value & kCounterMeasure)) {
        registers[kCounterStatus] &= static_cast<std::uint16_t>(~(1u << (5 + c)));
    }
}

void BoardState::CounterEdges(int c, std::uint64_t edges) {
    CounterUnit& unit = counterUnits[c];
    const std::uint16_t mode = registers[kCounterBase + 5 * c + 4];
    const auto kind = ModeOf(mode, CounterRegister32(c, 0), CounterRegister32(c, 2));
    // The up/down mode's 0x08 is its direction input, not a gate.
    const bool gated = kind != CounterMode::UpDown && !CounterGateOpen(c);
    if (!CounterRunning(c) || !(mode & kCounterExternalClock) || gated)
        return;
    unit.externalEdges += edges;
    if (kind == CounterMode::CountEvents) {
        const std::uint64_t total = unit.value + edges;
        for (std::uint64_t wraps = total >> 32; wraps > 0; --wraps)
            Post(kStatusTypeFlags, static_cast<std::uint16_t>(kFlagCounterOverflowBase << c));
        unit.value = static_cast<std::uint32_t>(total);
    } else if (kind == CounterMode::UpDown) {
        const auto step = static_cast<std::uint32_t>(edges);
        unit.value = unit.up ? unit.value + step : unit.value - step;
    }
}

void BoardState::CounterGate(int c, bool level) {
    CounterGateAt(c, level, Now());
}

void BoardState::CounterGateAt(int c, bool level, std::int64_t ns) {
    CounterUnit& unit = counterUnits[c];
    const bool rising = level && !unit.gate;
    const bool falling = !level && unit.gate;
    unit.gate = level;
    const std::uint16_t mode = registers[kCounterBase + 5 * c + 4];
    if (ModeOf(mode, CounterRegister32(c, 0), CounterRegister32(c, 2)) == CounterMode::OneShot) {
        // A one-shot fires on the gate edge its gate bits name.
        const auto gate = static_cast<std::uint16_t>(mode & kCounterGateBits);
        if ((gate == kCounterGateHigh && rising) || (gate == kCounterGateLow && falling))
            OneShotTrigger(c, ns);
        return;
    }
    if (!(registers[kCounterStatus] & (1u << (5 + c))))
        return;  // no measurement in progress
    // Edge codes 0 and 1 are the gate's rising and falling edges (2 and 3, the clock's, are
    // counted by the clock input).
    auto matches = [&](int code) {
        switch (code) {
            case 0:
                return rising;
            case 1:
                return falling;
            default:
                return false;
        }
    };
    if (!unit.measureStarted) {
        if (matches((mode >> 10) & 3)) {
            unit.measureStarted = true;
            unit.measureStartNs = ns;
        }
        return;
    }
    if (matches((mode >> 12) & 3)) {
        const auto elapsed = static_cast<std::uint64_t>(ns - unit.measureStartNs);
        unit.value = static_cast<std::uint32_t>(elapsed * (kBaseClockHz / 1'000'000) / 1000);
        registers[kCounterStatus] &= static_cast<std::uint16_t>(~(1u << (5 + c)));
    }
}

CounterReading BoardState::ReadCounter(int c) {
    const CounterUnit& unit = counterUnits[c];
    const std::uint16_t mode = registers[kCounterBase + 5 * c + 4];
    CounterReading reading;
    reading.value = unit.value;
    reading.running = CounterRunning(c);
    const CounterMode kind = ModeOf(mode, CounterRegister32(c, 0), CounterRegister32(c, 2));
    if (kind == CounterMode::OneShot) {
        reading.pulses = unit.outputPulses;
        return reading;
    }
    if (kind != CounterMode::Rate)
        return reading;
    const std::uint64_t period = static_cast<std::uint32_t>(1u - CounterRegister32(c, 0));
    const std::uint64_t active = static_cast<std::uint32_t>(0u - CounterRegister32(c, 2));
    if (period == 0)
        return reading;
    const bool external = (mode & kCounterExternalClock) != 0;
    reading.duty = static_cast<double>(active) / static_cast<double>(period);
    if (external) {
        reading.pulses = unit.externalEdges / period;
    } else {
        reading.frequencyHz = static_cast<double>(kBaseClockHz) / static_cast<double>(period);
        if (reading.running) {
            const auto elapsed = static_cast<std::uint64_t>(Now() - unit.loadNs);
            reading.pulses = elapsed * (kBaseClockHz / 1'000'000) / (1000 * period);
        }
    }
    return reading;
}

}  // namespace mq5120
