// Analog output: D/A messages on endpoint 0x04, the board's sample memory, arming and the ready
// message, output pacing, drain and abort; and the single-value outputs.
#include <algorithm>

#include "board_state.h"

namespace mq5120 {
namespace {
constexpr std::size_t kOutputLogLimit = 1'000'000;
constexpr std::uint32_t kReadyBase = 0x20002;
}  // namespace

void BoardState::LogOutput(int channel, std::uint16_t value) {
    if (outputs.size() < kOutputLogLimit)
        outputs.push_back({Now(), channel, value});
}

void BoardState::SetDout(std::uint8_t value) {
    dout = value;
    LogOutput(4, value);
    if (doutWiredToDin)
        SetDin(value);
}

void BoardState::SetDin(std::uint8_t value) {
    const std::uint8_t old = din;
    din = value;
    if (registers[kDinInterruptEnable] == 1 && ((old ^ value) & registers[kDinChangeMask]))
        Post(kStatusTypeDin, value);
}

void BoardState::SetAnalogOut(int channel, std::uint16_t code) {
    if (!identity.HasAnalogOutputs())
        return;
    const std::uint16_t mask = identity.Resolution() == 16 ? 0xFFFF : 0x0FFF;
    analogOut[channel] = code & mask;
    LogOutput(channel, analogOut[channel]);
}

usb::OutResult BoardState::DaMessage(std::span<const std::uint8_t> data) {
    if (data.size() < kDaHeaderBytes) {
        ++counters.protocolErrors;
        return usb::OutResult::Taken;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(data[0]) | (data[1] << 8) |
                                (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    const std::size_t present = data.size() - kDaHeaderBytes;
    const std::size_t used = std::min<std::size_t>(count, present) & ~std::size_t{1};
    const std::size_t samples = used / 2;
    const std::size_t stored = singleBuffer ? daLoop.size() : daMemory.size();
    if (stored + samples > kDaMemorySamples) {
        if (singleBuffer || samples > kDaMemorySamples) {
            ++counters.protocolErrors;  // can never fit: dropped
            return usb::OutResult::Taken;
        }
        return usb::OutResult::Held;  // until output has made room
    }
    if (count != present || count > kDaMaxDataBytes || count % 2 != 0)
        ++counters.protocolErrors;
    for (std::size_t i = 0; i < samples; ++i) {
        const std::size_t at = kDaHeaderBytes + 2 * i;
        const auto sample = static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
        if (singleBuffer)
            daLoop.push_back(sample);
        else
            daMemory.push_back(sample);
    }
    if (samples > 0)
        daDrainReported = false;
    DaCheckReady();
    return usb::OutResult::Taken;
}

void BoardState::DaCheckReady() {
    const std::size_t stored = singleBuffer ? daLoop.size() : daMemory.size();
    if (daArmed && !daReadySent && stored >= daThreshold) {
        daReadySent = true;
        Post(kStatusTypeDaReady, 0);
    }
}

void BoardState::DaArm(std::uint32_t value) {
    const std::uint32_t threshold = value <= kReadyBase ? kReadyBase - value : 0;
    if (daArmed && threshold == daThreshold)
        return;  // the second arm command of the pair
    daArmed = true;
    daReadySent = false;
    daThreshold = threshold;
    singleBuffer = (registers[kBoardControl] & kBoardControlSingleBuffer) != 0;
    DaCheckReady();
}

void BoardState::DaClear() {
    daMemory.clear();
    daLoop.clear();
    daLoopIndex = 0;
    daArmed = false;
    daReadySent = false;
    daRunning = false;
    daWaitingTrigger = false;
}

void BoardState::DaAbort() {
    const bool active = daArmed || daRunning;
    DaClear();
    if (active)
        Post(kStatusTypeFlags, kFlagDaComplete);
}

void BoardState::DaStart() {
    if (daRunning)
        return;
    daRunning = true;
    daWaitingTrigger = (registers[kBoardControl] & kBoardControlDaExternalTrigger) != 0;
    daStartNs = Now();
    daUpdates = 0;
    daChannelIndex = 0;
    daDrainReported = false;
}

bool BoardState::DaOutputNext(double seconds) {
    (void)seconds;
    std::uint16_t sample;
    if (singleBuffer) {
        if (daLoop.empty())
            return false;
        sample = daLoop[daLoopIndex];
        daLoopIndex = (daLoopIndex + 1) % daLoop.size();
    } else {
        if (daMemory.empty()) {
            if (!daDrainReported) {
                daDrainReported = true;
                Post(kStatusTypeFlags, kFlagDaComplete);
            }
            return false;
        }
        sample = daMemory.front();
        daMemory.pop_front();
    }
    // The next enabled channel in ascending order: analog 0-3, then 4 = the digital port.
    std::vector<int> channels;
    const std::uint16_t control = registers[kBoardControl];
    for (int c = 0; c < 4; ++c)
        if (control & (1u << c))
            channels.push_back(c);
    if (control & kBoardControlDaDrivesDout)
        channels.push_back(4);
    if (!channels.empty()) {
        const int channel = channels[daChannelIndex % channels.size()];
        daChannelIndex = (daChannelIndex + 1) % channels.size();
        if (channel == 4)
            SetDout(static_cast<std::uint8_t>(sample));
        else
            SetAnalogOut(channel, sample);
    }
    return true;
}

void BoardState::DaAdvance(std::int64_t now) {
    if (!daRunning || daWaitingTrigger)
        return;
    if (registers[kBoardControl] & kBoardControlDaExternalClock)
        return;
    const std::uint64_t divider = registers[kDaDividerLow] | (registers[kDaDividerHigh] << 16);
    if (divider == 0 || now <= daStartNs)
        return;
    const auto elapsed = static_cast<std::uint64_t>(now - daStartNs);
    const std::uint64_t due = elapsed * (kBaseClockHz / 1'000'000) / (divider * 1000);
    while (daUpdates < due) {
        const double seconds = static_cast<double>(daUpdates) * divider / kBaseClockHz;
        if (!DaOutputNext(seconds)) {
            daUpdates = due;  // output holds its last value; new samples resume from now
            break;
        }
        ++daUpdates;
    }
}

}  // namespace mq5120
