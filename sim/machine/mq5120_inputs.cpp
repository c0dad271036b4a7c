// Board-list signals on the inputs of the simulated MQ5120.
#include "mq5120_inputs.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr int kAnalogInputs = 32;  // the model's single-ended inputs, whatever the board type
constexpr std::uint32_t kAnalogInput = 0, kDigitalInput = 2;

std::uint8_t PortLevel(const Signal& signal) {
    switch (signal.kind) {
        case Signal::Kind::kConstant:
            return static_cast<std::uint8_t>(std::clamp(std::trunc(signal.volts), 0.0, 255.0));
        case Signal::Kind::kPattern:
            return signal.codes.empty() ? 0 : static_cast<std::uint8_t>(signal.codes.front());
        default:
            return 0;
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
    }
    return mq5120::Signal::Constant(0.0);
}

void ApplyInputs(mq5120::Board& board, const std::map<ChannelKey, Signal>& signals) {
    std::uint8_t port = 0;
    for (int channel = 0; channel < kAnalogInputs; ++channel) {
        auto found = signals.find({kAnalogInput, 0, static_cast<std::uint32_t>(channel)});
        board.SetSignal(channel, found == signals.end() ? mq5120::Signal::Constant(0.0)
                                                        : ModelSignal(found->second));
    }
    if (auto found = signals.find({kDigitalInput, 0, 0}); found != signals.end())
        port = PortLevel(found->second);
    board.SetDin(port);
}

}  // namespace sim
