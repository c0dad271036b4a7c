// Board-list signals on the inputs of the simulated MQ5120.
#include "mq5120_inputs.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace sim {
namespace {

constexpr int kAnalogInputs = 32;  // the model's single-ended inputs, whatever the board type
constexpr int kCounters = 5;

std::uint8_t PortLevel(const Signal& signal) {
    switch (signal.kind) {
        case Signal::Kind::kConstant:
            return static_cast<std::uint8_t>(std::clamp(std::trunc(signal.volts), 0.0, 255.0));
        case Signal::Kind::kPattern:
            return signal.codes.empty() ? 0 : static_cast<std::uint8_t>(signal.codes.front());
        default:
            return 0;  // the output port's wire is the board's own
    }
}

}  // namespace

mq5120::Signal ModelSignal(const Signal& signal) {
    switch (signal.kind) {
        case Signal::Kind::kConstant:
            return mq5120::Signal::Constant(signal.volts);
        case Signal::Kind::kSine:
            return mq5120::Signal::Sine(signal.volts, signal.frequency, signal.offset);
        case Signal::Kind::kSquare:
            // The high level for the first half of each period, the low one for the second.
            return mq5120::Signal::Square(signal.offset - signal.volts,
                                          signal.offset + signal.volts, signal.frequency);
        case Signal::Kind::kPattern:
            return mq5120::Signal::Pattern(signal.codes);
        case Signal::Kind::kAnalogOutput:
            return mq5120::Signal::FromAnalogOutput(static_cast<int>(signal.source));
        case Signal::Kind::kDigitalOutput:
        case Signal::Kind::kCounter:
            break;  // wires of the ports and counters, not analog levels
    }
    return mq5120::Signal::Constant(0.0);
}

void ApplyInputs(mq5120::Board& board, const std::map<ChannelKey, Signal>& signals) {
    std::uint8_t port = 0;
    for (int channel = 0; channel < kAnalogInputs; ++channel) {
        auto found = signals.find({kChannelAnalogInput, 0, static_cast<std::uint32_t>(channel)});
        board.SetSignal(channel, found == signals.end() ? mq5120::Signal::Constant(0.0)
                                                        : ModelSignal(found->second));
    }
    const auto din = signals.find({kChannelDigitalInput, 0, 0});
    const bool wired = din != signals.end() && din->second.kind == Signal::Kind::kDigitalOutput;
    if (din != signals.end() && !wired)
        port = PortLevel(din->second);
    board.WireDoutToDin(wired);
    if (!wired)
        board.SetDin(port);
    for (int c = 0; c < kCounters; ++c) {
        const auto counter = static_cast<std::uint32_t>(c);
        std::optional<mq5120::Signal> clock;
        int from = -1;
        if (auto found = signals.find({kChannelCounter, 0, counter}); found != signals.end()) {
            if (found->second.kind == Signal::Kind::kCounter)
                from = static_cast<int>(found->second.source);
            else
                clock = ModelSignal(found->second);
        }
        board.SetCounterClockSignal(c, clock, from);
        std::optional<mq5120::Signal> gate;
        if (auto found = signals.find({kChannelGate, 0, counter}); found != signals.end())
            gate = ModelSignal(found->second);
        board.SetCounterGateSignal(c, gate);
    }
}

}  // namespace sim
