// Analog output: D/A messages on endpoint 0x04, the board's sample memory, arming and the ready
// message, output pacing, drain and abort; and the single-value outputs.
#include <algorithm>
#include <limits>

#include "board_state.h"

namespace mq5120 {
namespace {
constexpr std::size_t kOutputLogLimit = 1'000'000;
constexpr std::uint32_t kReadyBase = 0x20002;
constexpr int kDoutChannel = 4;
// How far back an output's levels are kept for the inputs wired to it.
constexpr double kHistorySeconds = 1.0;
constexpr double kNsPerSecond = 1e9;
constexpr double kFullScaleVolts = 20.0;
constexpr double kLowestVolts = -10.0;
}  // namespace

void BoardState::LogOutput(int channel, std::uint16_t value, double seconds) {
    if (outputs.size() < kOutputLogLimit)
        outputs.push_back(
            {epochNs + static_cast<std::int64_t>(seconds * kNsPerSecond + 0.5), channel, value});
}

void BoardState::SetDout(std::uint8_t value) {
    SetDoutAt(value, SecondsNow());
}

void BoardState::SetDoutAt(std::uint8_t value, double seconds) {
    dout = value;
    LogOutput(kDoutChannel, value, seconds);
    if (doutWiredToDin)
        SetDin(value);
}

double BoardState::AnalogOutputVolts(int channel, double seconds) const {
    const auto& history = outputHistory[static_cast<std::size_t>(channel) & 3];
    std::uint16_t code = analogOut[static_cast<std::size_t>(channel) & 3];
    // The last change at or before the time; before every kept change, the oldest kept level.
    auto after =
        std::upper_bound(history.begin(), history.end(), seconds,
                         [](double t, const OutputLevel& level) { return t < level.seconds; });
    if (after != history.begin())
        code = std::prev(after)->code;
    else if (!history.empty())
        code = history.front().code;
    const int resolution = identity.Resolution();
    return kLowestVolts + code * kFullScaleVolts / static_cast<double>(1u << resolution);
}

void BoardState::SetDin(std::uint8_t value) {
    const std::uint8_t old = din;
    din = value;
    if (registers[kDinInterruptEnable] == 1 && ((old ^ value) & registers[kDinChangeMask]))
        Post(kStatusTypeDin, value);
}

void BoardState::SetAnalogOut(int channel, std::uint16_t code, double seconds) {
    if (!identity.HasAnalogOutputs())
        return;
    const std::uint16_t mask = identity.Resolution() == 16 ? 0xFFFF : 0x0FFF;
    auto& history = outputHistory[channel];
    if (history.empty())  // the level before the first change, since power-on
        history.push_back({-std::numeric_limits<double>::infinity(), analogOut[channel]});
    analogOut[channel] = code & mask;
    LogOutput(channel, analogOut[channel], seconds);
    history.push_back({seconds, analogOut[channel]});
    // A level is dropped once the one after it has held for the whole span kept.
    while (history.size() > 2 && history[1].seconds < seconds - kHistorySeconds)
        history.pop_front();
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
    if (samples > 0) {
        // Data after the memory ran dry while running: the output fell behind its clock.
        if (daRunning && daUnderrun) {
            ++counters.daUnderruns;
            Post(kStatusTypeFlags, kFlagDaUnderrun);
        }
        daUnderrun = false;
        daDrainReported = false;
    }
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
    // Each command of the driver's pair arms anew: the ready message follows the data sent after.
    const std::uint32_t threshold = value <= kReadyBase ? kReadyBase - value : 0;
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
    daUnderrun = false;
}

bool BoardState::DaOutputNext(double seconds) {
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
                daUnderrun = !singleBuffer;
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
        if (channel == kDoutChannel)
            SetDoutAt(static_cast<std::uint8_t>(sample), seconds);
        else
            SetAnalogOut(channel, sample, seconds);
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
    // Update u comes with the clock's (u + 1)-th edge.
    while (daUpdates < due) {
        const double seconds = (daStartNs - epochNs) * 1e-9 +
                               static_cast<double>((daUpdates + 1) * divider) / kBaseClockHz;
        if (!DaOutputNext(seconds)) {
            daUpdates = due;  // output holds its last value; new samples resume from now
            break;
        }
        ++daUpdates;
    }
}

}  // namespace mq5120
