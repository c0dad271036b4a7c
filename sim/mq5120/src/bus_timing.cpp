// When time alone brings the bus something: A/D data for a waiting read, room in the D/A memory
// for a held message, a status message that the board will post (an A/D overflow, the D/A memory
// drained). The bus sleeps until then instead of looking every millisecond.
#include <algorithm>
#include <cmath>

#include "board_state.h"

namespace mq5120 {
namespace {

// How far ahead a search for a due time looks; a read that waits longer is tried again then.
constexpr std::int64_t kHorizonNs = 10'000'000'000;
constexpr std::int64_t kFirstStepNs = 1'000'000;
constexpr double kNsPerSecond = 1e9;

}  // namespace

bool BoardState::AdPaced() const {
    return adRunning && !adWaitingTrigger && !unpaced &&
           (registers[kAdControl] & kAdControlExternalClock) == 0;
}

bool BoardState::DaPaced() const {
    return daRunning && !daWaitingTrigger &&
           (registers[kBoardControl] & kBoardControlDaExternalClock) == 0;
}

// The earliest time at which `conversions` conversions are due: a widening search, then halving,
// over the pacing of AdDueAt, so that triggered scans and bursts are timed as they convert.
std::optional<std::int64_t> BoardState::AdConversionsDue(std::uint64_t conversions) const {
    const std::int64_t now = Now();
    if (AdDueAt(now) >= conversions)
        return now;
    std::int64_t below = now;
    std::int64_t step = kFirstStepNs;
    while (AdDueAt(now + step) < conversions) {
        below = now + step;
        if (step >= kHorizonNs)
            return now + kHorizonNs;  // not by then: look again at the horizon
        step *= 2;
    }
    std::int64_t above = now + step;
    while (above - below > 1) {
        const std::int64_t middle = below + (above - below) / 2;
        if (AdDueAt(middle) >= conversions)
            above = middle;
        else
            below = middle;
    }
    return above;
}

std::optional<std::int64_t> BoardState::DaUpdatesDue(std::uint64_t updates) const {
    const std::uint64_t divider = registers[kDaDividerLow] | (registers[kDaDividerHigh] << 16);
    if (divider == 0)
        return std::nullopt;
    const double seconds = static_cast<double>(updates) * static_cast<double>(divider) /
                           static_cast<double>(kBaseClockHz);
    return daStartNs + static_cast<std::int64_t>(std::ceil(seconds * kNsPerSecond)) + 1;
}

std::optional<std::int64_t> BoardState::AdDataDue(std::size_t wanted) const {
    if (!AdPaced() || transferSize == 0)
        return std::nullopt;
    // Only whole chunks are sent: the bytes left of the chunk being sent, then whole chunks.
    const std::size_t chunkSamples = transferSize / 2;
    const std::size_t readable =
        (chunk.size() - chunkOffset) + adFifo.size() / chunkSamples * transferSize;
    if (readable >= wanted)
        return Now();
    const std::size_t chunks = (wanted - readable + transferSize - 1) / transferSize;
    const std::size_t samples = chunks * chunkSamples - adFifo.size() % chunkSamples;
    return AdConversionsDue(adConversions + samples);
}

std::optional<std::int64_t> BoardState::DaRoomDue(std::size_t wanted) const {
    if (!DaPaced() || singleBuffer || wanted < kDaHeaderBytes)
        return std::nullopt;
    const std::size_t samples = (wanted - kDaHeaderBytes) / 2;
    const std::size_t stored = daMemory.size();
    if (stored + samples <= kDaMemorySamples)
        return Now();
    return DaUpdatesDue(daUpdates + (stored + samples - kDaMemorySamples));
}

std::optional<std::int64_t> BoardState::StatusDue() const {
    std::optional<std::int64_t> due;
    auto earliest = [&due](std::optional<std::int64_t> candidate) {
        if (candidate && (!due || *candidate < *due))
            due = candidate;
    };
    if (AdPaced() && !overflowEpisode) {
        // The conversion that finds the FIFO full (the next one, when it is full already).
        const std::size_t room = kAdFifoSamples - std::min(adFifo.size(), kAdFifoSamples);
        earliest(AdConversionsDue(adConversions + room + 1));
    }
    if (DaPaced() && !singleBuffer && !daDrainReported)
        earliest(DaUpdatesDue(daUpdates + daMemory.size() + 1));
    return due;
}

}  // namespace mq5120
