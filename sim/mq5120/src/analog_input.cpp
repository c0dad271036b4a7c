// Analog input: conversions, the channel-gain list, pacing, the board FIFO and the sample stream
// on endpoint 0x88.
#include <algorithm>
#include <cstring>

#include "board_state.h"

namespace mq5120 {

double BoardState::InputVolts(int channel, double seconds) const {
    const Signal& signal = signals[channel];
    if (signal.kind != Signal::Kind::AnalogOutput)
        return signal.VoltsAt(seconds);
    // Wired back from an analog output: its level at the time of the conversion.
    return AnalogOutputVolts(signal.outputChannel, seconds);
}

std::uint16_t BoardState::AnalogCode(int channel, int gainCode, double seconds) {
    if (!identity.HasAnalogInputs())
        return 0;
    const bool singleEnded = (registers[kAdControl] & kAdControlSingleEnded) != 0;
    const int inputs = singleEnded ? identity.SingleEndedInputs() : identity.DifferentialInputs();
    if (channel < 0 || channel >= inputs)
        return 0;
    const int resolution = identity.Resolution();
    const Signal& signal = signals[channel];
    const std::uint64_t n = channelConversions[channel]++;
    if (signal.kind == Signal::Kind::Codes) {
        const std::uint32_t mask = (1u << resolution) - 1;
        return static_cast<std::uint16_t>((signal.codeStart + n * signal.codeStep) & mask);
    }
    if (signal.kind == Signal::Kind::Pattern) {
        if (signal.pattern.empty())
            return 0;
        const std::uint32_t mask = (1u << resolution) - 1;
        const std::uint64_t k = (n - patternStart[channel]) % signal.pattern.size();
        return static_cast<std::uint16_t>(signal.pattern[k] & mask);
    }
    double volts = InputVolts(channel, seconds);
    if (!singleEnded)
        volts -= InputVolts(channel + identity.DifferentialInputs(), seconds);
    return CodeFor(volts, 1 << gainCode, resolution);
}

std::uint16_t BoardState::Convert(std::uint16_t word, double seconds) {
    switch (word & kListExtraMask) {
        case kListDin:
            return din;
        case kListCounterLow:
        case kListCounterHigh: {
            const std::uint32_t value = counterUnits[((word >> 7) & 7) % 5].value;
            return static_cast<std::uint16_t>(
                (word & kListExtraMask) == kListCounterHigh ? value >> 16 : value);
        }
        default:
            return AnalogCode(word & kListChannelMask, (word >> kListGainShift) & 3, seconds);
    }
}

void BoardState::AdClearFifo() {
    adFifo.clear();
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
    adFifo.resize(adFifo.size() - adFifo.size() % chunkSamples);
}

void BoardState::AdConvertNext() {
    const std::uint16_t word = list.empty() ? 0 : list[listIndex];
    listIndex = list.empty() ? 0 : (listIndex + 1) % list.size();
    const double seconds = AdConversionSeconds(adConversions);
    ++adConversions;
    const std::uint16_t value = Convert(word, seconds);
    if (word & kListInhibit)
        return;  // converted, not stored
    if (adFifo.size() >= kAdFifoSamples) {
        if (!overflowEpisode) {
            overflowEpisode = true;
            ++counters.adOverflows;
            Post(kStatusTypeFlags, kFlagAdOverflow);
        }
        return;
    }
    adFifo.push_back(value);
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

double BoardState::AdConversionSeconds(std::uint64_t k) const {
    const std::uint64_t divider = registers[kAdDividerLow] | (registers[kAdDividerHigh] << 16);
    const std::uint64_t retrigger = registers[kRetriggerLow] | (registers[kRetriggerHigh] << 16);
    std::uint64_t ticks = k * divider;
    if ((registers[kAdControl] & kAdControlTriggeredScan) && retrigger != 0) {
        const std::uint64_t burst = AdBurstLength();
        ticks = (k / burst) * retrigger + (k % burst) * divider;
    }
    return (adStartNs - epochNs) * 1e-9 + static_cast<double>(ticks) / kBaseClockHz;
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
    while (adConversions < due)
        AdConvertNext();
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
        const std::size_t wanted = std::min(kAdFifoSamples, room.size() / 2 + chunkSamples);
        while (adFifo.size() < wanted)
            AdConvertNext();
    }
    while (result.bytes < room.size()) {
        if (chunkOffset == chunk.size()) {
            if (adFifo.size() < chunkSamples)
                break;
            chunk.resize(transferSize);
            for (std::size_t i = 0; i < chunkSamples; ++i) {
                chunk[2 * i] = static_cast<std::uint8_t>(adFifo.front());
                chunk[2 * i + 1] = static_cast<std::uint8_t>(adFifo.front() >> 8);
                adFifo.pop_front();
            }
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
