#include "sim/simulated_board.h"

#include <cmath>

namespace sim {

std::uint32_t CodeForVolts(double volts, const CodeFormat& format) {
    const std::uint32_t bits = format.bits == 0 || format.bits > 32 ? 16 : format.bits;
    const double span = format.maximum - format.minimum;
    if (!(span > 0.0))
        return 0;
    const double level = volts * format.gain;
    const double full = std::ldexp(1.0, static_cast<int>(bits));
    if (format.twosComplement) {
        const double half = full / 2;
        double code =
            std::trunc((level - (format.minimum + format.maximum) / 2) / (span / 2) * half);
        code = std::fmin(std::fmax(code, -half), half - 1);
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(code));
    }
    double code = std::trunc((level - format.minimum) / span * full);
    code = std::fmin(std::fmax(code, 0.0), full - 1);
    return static_cast<std::uint32_t>(code);
}

SimulatedBoard::SimulatedBoard(BoardDescription description)
    : description_(std::move(description)), boot_(std::chrono::steady_clock::now()) {
    hardwareInfo_.serialNumber = description_.serialNumber;
}

void SimulatedBoard::SetSignals(std::map<ChannelKey, Signal> signals) {
    std::lock_guard lock(mutex_);
    description_.signals = std::move(signals);
    patternPosition_.clear();
}

double SimulatedBoard::SecondsSinceBoot() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - boot_).count();
}

std::uint32_t SimulatedBoard::ReadInput(const ChannelKey& channel, const CodeFormat& format) {
    std::lock_guard lock(mutex_);
    auto found = description_.signals.find(channel);
    const bool analog = channel.type == 0 || channel.type == 1;
    if (found == description_.signals.end())
        return analog ? CodeForVolts(0.0, format) : 0;
    const Signal& signal = found->second;
    if (signal.kind == Signal::Kind::kPattern) {
        if (signal.codes.empty())
            return 0;
        std::size_t& position = patternPosition_[channel];
        const std::uint32_t code = signal.codes[position % signal.codes.size()];
        position = (position + 1) % signal.codes.size();
        return code;
    }
    const double level = VoltsAt(signal, SecondsSinceBoot());
    if (analog)
        return CodeForVolts(level, format);
    return level <= 0 ? 0u : static_cast<std::uint32_t>(std::fmin(level, 4294967295.0));
}

void SimulatedBoard::WriteOutput(const ChannelKey& channel, std::uint32_t code) {
    std::lock_guard lock(mutex_);
    outputs_[channel] = code;
}

std::uint32_t SimulatedBoard::ReadOutput(const ChannelKey& channel) {
    std::lock_guard lock(mutex_);
    auto found = outputs_.find(channel);
    return found == outputs_.end() ? 0 : found->second;
}

void SimulatedBoard::WriteRegister(std::uint32_t number, std::uint32_t value) {
    std::lock_guard lock(mutex_);
    registers_[number] = value;
}

std::uint32_t SimulatedBoard::ReadRegister(std::uint32_t number) {
    std::lock_guard lock(mutex_);
    auto found = registers_.find(number);
    return found == registers_.end() ? 0 : found->second;
}

void SimulatedBoard::WriteCalPot(std::uint32_t pot, std::uint32_t selector, std::int32_t element,
                                 std::uint32_t value) {
    std::lock_guard lock(mutex_);
    calPots_[{pot, selector, element}] = value;
}

std::uint32_t SimulatedBoard::ReadCalPot(std::uint32_t pot, std::uint32_t selector,
                                         std::int32_t element) {
    std::lock_guard lock(mutex_);
    auto found = calPots_.find({pot, selector, element});
    return found == calPots_.end() ? 128 : found->second;
}

HardwareInfo SimulatedBoard::ReadHardwareInfo() {
    std::lock_guard lock(mutex_);
    return hardwareInfo_;
}

void SimulatedBoard::WriteHardwareInfo(const HardwareInfo& info) {
    std::lock_guard lock(mutex_);
    hardwareInfo_ = info;
}

}  // namespace sim
