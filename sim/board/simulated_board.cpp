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

// Under the lock. A null signal reads 0 V (0 on digital inputs and counters).
std::uint32_t SimulatedBoard::LevelCode(const ChannelKey& channel, const Signal* signal,
                                        const CodeFormat& format, double seconds) {
    const bool analog = channel.type == 0 || channel.type == 1;
    if (signal == nullptr)
        return analog ? CodeForVolts(0.0, format) : 0;
    if (signal->kind == Signal::Kind::kPattern) {
        if (signal->codes.empty())
            return 0;
        std::size_t& position = patternPosition_[channel];
        const std::uint32_t code = signal->codes[position % signal->codes.size()];
        position = (position + 1) % signal->codes.size();
        return code;
    }
    const double level = VoltsAt(*signal, seconds);
    if (analog)
        return CodeForVolts(level, format);
    return level <= 0 ? 0u : static_cast<std::uint32_t>(std::fmin(level, 4294967295.0));
}

std::uint32_t SimulatedBoard::ReadInput(const ChannelKey& channel, const CodeFormat& format) {
    std::lock_guard lock(mutex_);
    auto found = description_.signals.find(channel);
    const Signal* signal = found == description_.signals.end() ? nullptr : &found->second;
    return LevelCode(channel, signal, format, SecondsSinceBoot());
}

void SimulatedBoard::ScanInputs(const std::vector<ChannelKey>& list,
                                const std::vector<CodeFormat>& formats, std::uint64_t first,
                                std::size_t count, double start, double rate,
                                std::uint32_t* codes) {
    if (list.empty() || formats.size() != list.size() || !(rate > 0.0))
        return;
    std::lock_guard lock(mutex_);
    // Per entry: its signal, and its code when that does not change with time or position.
    struct Entry {
        const Signal* signal;
        bool fixed;
        std::uint32_t code;
    };
    std::vector<Entry> entries;
    entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto found = description_.signals.find(list[i]);
        const Signal* signal = found == description_.signals.end() ? nullptr : &found->second;
        const bool fixed = signal == nullptr || signal->kind == Signal::Kind::kConstant;
        entries.push_back(
            {signal, fixed, fixed ? LevelCode(list[i], signal, formats[i], start) : 0u});
    }
    std::size_t entry = static_cast<std::size_t>(first % list.size());
    for (std::size_t n = 0; n < count; ++n) {
        const Entry& e = entries[entry];
        codes[n] = e.fixed ? e.code
                           : LevelCode(list[entry], e.signal, formats[entry],
                                       start + static_cast<double>(first + n) / rate);
        if (++entry == list.size())
            entry = 0;
    }
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

void SimulatedBoard::FailRegisterReads(std::uint32_t number) {
    std::lock_guard lock(mutex_);
    failingRegisterReads_.insert(number);
}

bool SimulatedBoard::RegisterReadFails(std::uint32_t number) {
    std::lock_guard lock(mutex_);
    return failingRegisterReads_.count(number) != 0;
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
