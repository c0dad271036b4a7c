// Analog input: conversions, the channel-gain list, pacing, the board FIFO and the sample stream
// on endpoint 0x88.
#include <algorithm>
#include <cstring>

#include "board_state.h"

namespace mq5120 {

double BoardState::InputVoltsAt(int channel, SignalTime t, double outputSeconds) const {
    const Signal& signal = signals[channel];
    if (signal.kind != Signal::Kind::AnalogOutput)
        return signal.VoltsAt(t);
    // Wired back from an analog output: its level at the time of the conversion.
    return AnalogOutputVolts(signal.outputChannel, outputSeconds);
}

double BoardState::AdConversionSeconds(SignalTime t) const {
    const std::int64_t startNs = adStartNs - epochNs;
    const std::int64_t ticks = (t.units - startNs * kSignalUnitsPerNs) / kSignalUnitsPerTick;
    return startNs * 1e-9 + static_cast<double>(ticks) / kBaseClockHz;
}

void BoardState::InputVolts(int channel, const SignalTimes& times, std::span<double> volts) const {
    const Signal& signal = signals[channel];
    if (signal.kind != Signal::Kind::AnalogOutput) {
        signal.Volts(times, volts);
        return;
    }
    for (std::size_t i = 0; i < times.count; ++i)
        volts[i] = InputVoltsAt(channel, times[i], AdConversionSeconds(times[i]));
}

double BoardState::InputBlockError(int channel) const {
    const Signal& signal = signals[channel];
    return signal.kind == Signal::Kind::AnalogOutput ? 0.0 : signal.BlockErrorVolts();
}

double BoardState::InputPeakVolts(int channel) const {
    constexpr double kOutputPeakVolts = 10.0;
    const Signal& signal = signals[channel];
    return signal.kind == Signal::Kind::AnalogOutput ? kOutputPeakVolts : signal.PeakVolts();
}

bool BoardState::InputIsLevel(int channel) const {
    return signals[channel].IsLevel();
}

void BoardState::AdClearFifo() {
    adFifo.Clear();
    chunk.clear();
    chunkOffset = 0;
    overflowEpisode = false;
}

void BoardState::AdStart(bool waitForTrigger) {
    AdClearFifo();
    adRunning = true;
    adWaitingTrigger = waitForTrigger;
    adStartNs = Now();
    adConversions = 0;
    adBursts = waitForTrigger ? 0 : 1;
    adBurstStartNs = adStartNs;
    listIndex = 0;
    channelConversions.fill(0);
    patternStart.fill(0);
}

void BoardState::AdStop() {
    if (!adRunning)
        return;
    AdAdvance(Now());
    adRunning = false;
    adWaitingTrigger = false;
    // Only whole chunks are ever sent: the partial one is discarded.
    const std::size_t chunkSamples = transferSize / 2;
    adFifo.DropNewest(adFifo.size() % chunkSamples);
}

namespace {
std::uint64_t Ticks(std::int64_t ns) {  // 18 MHz clocks in a time span
    return static_cast<std::uint64_t>(ns) * (kBaseClockHz / 1'000'000) / 1000;
}
}  // namespace

// Triggered scan: each trigger runs (enable word low byte + 1) passes of the list.
std::uint64_t BoardState::AdBurstLength() const {
    return std::max<std::uint64_t>(list.size(), 1) * ((registers[kEnable] & 0xFF) + 1u);
}

AdTiming BoardState::AdTimingNow() const {
    AdTiming timing;
    timing.startUnits = (adStartNs - epochNs) * kSignalUnitsPerNs;
    timing.divider = registers[kAdDividerLow] | (registers[kAdDividerHigh] << 16);
    const std::uint64_t retrigger = registers[kRetriggerLow] | (registers[kRetriggerHigh] << 16);
    if ((registers[kAdControl] & kAdControlTriggeredScan) && retrigger != 0) {
        timing.retrigger = retrigger;
        timing.burst = AdBurstLength();
    }
    return timing;
}

std::uint64_t BoardState::AdDueAt(std::int64_t now) const {
    if (!adRunning || adWaitingTrigger || unpaced)
        return adConversions;
    if (registers[kAdControl] & kAdControlExternalClock)
        return adConversions;  // conversions come from clock edges
    const std::uint64_t divider = registers[kAdDividerLow] | (registers[kAdDividerHigh] << 16);
    if (divider == 0 || now <= adStartNs)
        return adConversions;
    // Conversions due = elapsed x rate, whatever the host's lateness.
    std::uint64_t due = Ticks(now - adStartNs) / divider;
    if (registers[kAdControl] & kAdControlTriggeredScan) {
        // Bursts: a burst's first conversion comes with its trigger.
        const std::uint64_t burst = AdBurstLength();
        const std::uint64_t retrigger =
            registers[kRetriggerLow] | (registers[kRetriggerHigh] << 16);
        if (retrigger != 0) {
            const std::uint64_t ticks = Ticks(now - adStartNs);
            due = (ticks / retrigger) * burst + std::min(burst, (ticks % retrigger) / divider + 1);
        } else if (adBursts == 0) {
            due = 0;
        } else {
            const std::uint64_t inBurst = Ticks(now - adBurstStartNs) / divider + 1;
            due = (adBursts - 1) * burst + std::min(burst, inBurst);
        }
    }
    return std::max(due, adConversions);
}

void BoardState::AdAdvance(std::int64_t now) {
    const std::uint64_t due = AdDueAt(now);
    if (adConversions < due)
        AdConvert(due - adConversions);
}

void BoardState::AdTrigger() {
    if (!adRunning)
        return;
    const std::int64_t now = Now();
    if (adWaitingTrigger) {
        adWaitingTrigger = false;
        adStartNs = now;
        adBursts = 1;
        adBurstStartNs = now;
        return;
    }
    // An external retrigger edge starts the next burst once the last one is complete.
    AdAdvance(now);
    if ((registers[kAdControl] & kAdControlTriggeredScan) &&
        adConversions >= adBursts * AdBurstLength()) {
        ++adBursts;
        adBurstStartNs = now;
    }
}

usb::InResult BoardState::AdRead(std::span<std::uint8_t> room, std::uint16_t maxPacket) {
    usb::InResult result;
    if (!identity.HasAnalogInputs())
        return result;
    const std::size_t chunkSamples = transferSize / 2;
    if (unpaced && adRunning && !adWaitingTrigger) {
        // Conversions until the FIFO holds what is wanted; a list that stores nothing (every
        // entry inhibited) ends it after one pass.
        const std::size_t wanted = std::min(kAdFifoSamples, room.size() / 2 + chunkSamples);
        const std::size_t pass = std::max<std::size_t>(list.size(), 1);
        std::size_t idle = 0;  // conversions in a row that stored nothing
        while (adFifo.size() < wanted && idle < pass) {
            const std::size_t needed = wanted - adFifo.size();
            idle = AdConvert(needed) == 0 ? idle + needed : 0;
        }
    }
    while (result.bytes < room.size()) {
        if (chunkOffset == chunk.size()) {
            if (adFifo.size() < chunkSamples)
                break;
            chunk.resize(transferSize);
            adFifo.PopBytes(chunk, chunkSamples);
            chunkOffset = 0;
            overflowEpisode = false;  // the FIFO has room again
        }
        const std::size_t packet = std::min<std::size_t>(maxPacket, chunk.size() - chunkOffset);
        const std::size_t n = std::min(packet, room.size() - result.bytes);
        if (n > 0)
            std::memcpy(room.data() + result.bytes, chunk.data() + chunkOffset, n);
        chunkOffset += n;
        result.bytes += n;
        if (n < packet)
            break;  // the host's buffer is full
        if (packet < maxPacket) {
            result.ended = true;  // the chunk's short final packet
            break;
        }
    }
    return result;
}

}  // namespace mq5120
