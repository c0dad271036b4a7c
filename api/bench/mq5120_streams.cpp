// The MQ5120 benchmarks' machine, boards and measured streams.
#include "mq5120_streams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_run.h"
#include "hxmem32.h"
#include "kernel/testing.h"
#include "mq5120/bus_call_time.h"
#include "simclock/clock.h"

namespace bench {
namespace {

using Steady = std::chrono::steady_clock;

// How long a queue may take to run dry once recycling stops: its buffers' data and then some.
constexpr auto kDrainLimit = std::chrono::seconds(30);

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

// The set whose streams the notification procedure serves (its value is a 32-bit word, too
// narrow for a pointer: it carries the stream's index).
std::atomic<StreamSet*> g_set{nullptr};

BOOL CALLBACK CollectMq5120(LPSTR boardName, LPSTR driverName, LPARAM user) {
    auto* names = reinterpret_cast<std::vector<std::string>*>(user);
    if (std::strcmp(driverName, "MQ5120") == 0)
        names->push_back(boardName);
    return TRUE;
}

}  // namespace

std::vector<std::string> Mq5120BoardNames() {
    std::vector<std::string> names;
    hxDaEnumBoards(CollectMq5120, reinterpret_cast<LPARAM>(&names));
    return names;
}

// The seam for the clock's count of absorbed host stalls: not counted until the clock offers it.
HostStalls HostStallsSoFar() {
    const simclock::StallRecord stalls = simclock::Stalls();
    return {true, stalls.count, std::chrono::duration<double, std::milli>(stalls.longest).count()};
}

std::string Describe(const HostStalls& stalls) {
    if (!stalls.counted)
        return "not counted";
    char text[64];
    std::snprintf(text, sizeof text, "%llu absorbed, longest %.1f ms",
                  static_cast<unsigned long long>(stalls.count), stalls.longestMs);
    return text;
}

CpuReading ReadCpu() {
    const mq5120::BusCallTime board = mq5120::BusCallTimeSoFar();
    return {processCpuSeconds(), std::chrono::duration<double>(board.busy).count(), board.calls};
}

CpuReading operator-(const CpuReading& after, const CpuReading& before) {
    return {after.processSeconds - before.processSeconds, after.boardSeconds - before.boardSeconds,
            after.boardCalls - before.boardCalls};
}

std::uint32_t StreamSettings::SamplesPerBuffer() const {
    const auto samples = static_cast<std::uint32_t>(clockHz * bufferSeconds);
    return samples - samples % std::max(channels, 1u);  // whole scans of the channel list
}

double StreamResult::SamplesAtTheClock() const {
    return clock * clockSeconds;
}

double StreamResult::ClockShare() const {
    const double expected = SamplesAtTheClock();
    return expected > 0 ? static_cast<double>(samples) / expected : 0.0;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// One board's stream: its buffers' data areas with the time their last read completed, and what
// its notifications reported.
struct StreamSet::Stream {
    std::string board;
    HDASS hDass = 0;
    std::vector<HBUF> buffers;
    std::vector<const void*> data;
    std::unique_ptr<std::atomic<std::int64_t>[]> completedNs;
    std::vector<double> delaysMs;  // touched by the copy thread only, until the stream has ended
    std::atomic<bool> recycle{true};
    std::atomic<std::uint64_t> samples{0};
    std::atomic<std::uint32_t> overruns{0};
    std::atomic<std::uint32_t> unmatched{0};
    std::atomic<std::int64_t> lastDoneNs{0};
    std::atomic<std::int64_t> lastDoneClockNs{0};  // on the stand-ins' clock
    std::int64_t startNs = 0;
    std::int64_t startClockNs = 0;
    std::uint64_t stallsAtStart = 0;
    std::uint64_t stallsAtEnd = 0;
    double clock = 0;
    bool ended = false;  // under the set's mutex
    bool started = false;

    int SlotOf(const void* address) const {
        for (std::size_t i = 0; i < data.size(); ++i)
            if (data[i] == address)
                return static_cast<int>(i);
        return -1;
    }
};

StreamSet::StreamSet(StreamSettings settings) : settings_(settings) {
    g_set.store(this);
    kernel::testing::SetCompletionObserver(
        [this](const void* userBuffer, std::size_t bytes) { OnReadCompleted(userBuffer, bytes); });
}

StreamSet::~StreamSet() {
    for (auto& stream : streams_) {
        bool running = false;
        {
            std::lock_guard guard(mutex_);
            running = stream->started && !stream->ended;
        }
        if (running)
            hxDaAbort(stream->hDass);
        if (stream->hDass != 0)
            hxDaReleaseDASS(stream->hDass);
    }
    kernel::testing::SetCompletionObserver({});
    g_set.store(nullptr);
    for (auto& stream : streams_)
        for (HBUF buffer : stream->buffers)
            hxDmFreeBuffer(buffer);
}

bool StreamSet::Add(HDEV hDev, const std::string& boardName) {
    auto stream = std::make_unique<Stream>();
    stream->board = boardName;
    stream->completedNs = std::make_unique<std::atomic<std::int64_t>[]>(settings_.queued);
    stream->delaysMs.reserve(1024);
    const auto index = static_cast<LPARAM>(streams_.size());
    HDASS hDass = 0;
    if (hxDaGetDASS(hDev, HXSS_AD, 0, &hDass) != HXNOERROR) {
        std::fprintf(stderr, "%s: the A/D did not open\n", boardName.c_str());
        return false;
    }
    stream->hDass = hDass;
    bool ok = hxDaSetNotificationProcedure(hDass, OnNotification, index) == HXNOERROR &&
              hxDaSetDataFlow(hDass, HXDF_CONTINUOUS) == HXNOERROR &&
              hxDaSetClockFrequency(hDass, settings_.clockHz) == HXNOERROR &&
              hxDaSetChannelListSize(hDass, settings_.channels) == HXNOERROR;
    for (unsigned entry = 0; ok && entry < settings_.channels; ++entry)
        ok = hxDaSetChannelListEntry(hDass, entry, entry) == HXNOERROR;
    ok = ok && hxDaConfig(hDass) == HXNOERROR &&
         hxDaGetClockFrequency(hDass, &stream->clock) == HXNOERROR;
    for (std::size_t i = 0; ok && i < settings_.queued; ++i) {
        HBUF buffer = 0;
        void* area = nullptr;
        ok = hxDmAllocBuffer(0, settings_.SamplesPerBuffer(), &buffer) == 0 &&
             hxDmGetBufferPtr(buffer, &area) == 0;
        if (buffer != 0)
            stream->buffers.push_back(buffer);
        stream->data.push_back(area);
        ok = ok && hxDaPutBuffer(hDass, buffer) == HXNOERROR;
    }
    if (!ok)
        std::fprintf(stderr, "%s: the A/D could not be set up\n", boardName.c_str());
    std::lock_guard guard(mutex_);
    streams_.push_back(std::move(stream));
    return ok;
}

bool StreamSet::StartAll() {
    bool ok = true;
    for (auto& stream : streams_) {
        stream->stallsAtStart = HostStallsSoFar().count;
        stream->startNs = NowNs();
        stream->startClockNs = simclock::Now().count();
        if (hxDaStart(stream->hDass) != HXNOERROR) {
            std::fprintf(stderr, "%s: the A/D did not start\n", stream->board.c_str());
            std::lock_guard guard(mutex_);
            MarkEnded(*stream);
            ok = false;
            continue;
        }
        stream->started = true;
    }
    return ok;
}

void StreamSet::MarkEnded(Stream& stream) {
    if (stream.ended)
        return;
    stream.stallsAtEnd = HostStallsSoFar().count;
    stream.ended = true;
    ended_.notify_all();
}

bool StreamSet::AllEnded() {
    return std::all_of(streams_.begin(), streams_.end(), [](auto& s) { return s->ended; });
}

void StreamSet::RunFor(double seconds) {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return AllEnded(); });
}

bool StreamSet::DrainAll() {
    for (auto& stream : streams_)
        stream->recycle.store(false);  // each queue runs dry and its transfer ends itself
    bool ok = true;
    std::unique_lock lock(mutex_);
    const auto limit = Steady::now() + kDrainLimit;
    ended_.wait_until(lock, limit, [this] { return AllEnded(); });
    for (auto& stream : streams_) {
        if (stream->ended)
            continue;
        std::fprintf(stderr, "%s: the transfer did not end; aborted\n", stream->board.c_str());
        lock.unlock();
        hxDaAbort(stream->hDass);
        lock.lock();
        MarkEnded(*stream);
        ok = false;
    }
    return ok;
}

std::vector<StreamResult> StreamSet::Results() const {
    std::vector<StreamResult> results;
    for (const auto& stream : streams_) {
        StreamResult r;
        r.board = stream->board;
        r.clock = stream->clock;
        const std::int64_t lastNs = stream->lastDoneNs.load();
        r.acquisitionSeconds =
            lastNs > stream->startNs ? static_cast<double>(lastNs - stream->startNs) * 1e-9 : 0;
        const std::int64_t lastClockNs = stream->lastDoneClockNs.load();
        r.clockSeconds = lastClockNs > stream->startClockNs
                             ? static_cast<double>(lastClockNs - stream->startClockNs) * 1e-9
                             : 0;
        r.samples = stream->samples.load();
        r.overruns = stream->overruns.load();
        r.unmatched = stream->unmatched.load();
        r.stallsDuring = stream->stallsAtEnd - stream->stallsAtStart;
        r.delaysMs = stream->delaysMs;
        results.push_back(std::move(r));
    }
    return results;
}

// On the completing thread (the driver's poll): stamps the buffer's completion.
void StreamSet::OnReadCompleted(const void* userBuffer, std::size_t bytes) {
    if (bytes == 0)
        return;
    for (auto& stream : streams_) {
        const int slot = stream->SlotOf(userBuffer);
        if (slot >= 0) {
            stream->completedNs[slot].store(NowNs(), std::memory_order_release);
            return;
        }
    }
}

// On a stream's copy thread: takes the finished buffer, measures its delay and queues it again;
// marks the stream's end.
void CALLBACK StreamSet::OnNotification(UINT message, HDASS hDass, LPARAM index) {
    const std::int64_t now = NowNs();
    StreamSet* set = g_set.load();
    if (set == nullptr || index < 0 || static_cast<std::size_t>(index) >= set->streams_.size())
        return;
    Stream& stream = *set->streams_[static_cast<std::size_t>(index)];
    switch (message) {
        case HXWM_BUFFERDONE: {
            stream.lastDoneNs.store(now);
            stream.lastDoneClockNs.store(simclock::Now().count());
            HBUF buffer = 0;
            if (hxDaGetBuffer(hDass, &buffer) != HXNOERROR || buffer == 0)
                break;
            void* data = nullptr;
            std::uint32_t valid = 0;
            hxDmGetBufferPtr(buffer, &data);
            hxDmGetValidSamples(buffer, &valid);
            stream.samples.fetch_add(valid, std::memory_order_relaxed);
            const int slot = stream.SlotOf(data);
            const std::int64_t completed =
                slot >= 0 ? stream.completedNs[slot].exchange(0, std::memory_order_acq_rel) : 0;
            if (completed != 0)
                stream.delaysMs.push_back(static_cast<double>(now - completed) * 1e-6);
            else
                stream.unmatched.fetch_add(1, std::memory_order_relaxed);
            if (stream.recycle.load())
                hxDaPutBuffer(hDass, buffer);
            break;
        }
        case HXWM_OVERRUNERROR:  // the library aborts the A/D on it: the stream is over
            stream.overruns.fetch_add(1, std::memory_order_relaxed);
            [[fallthrough]];
        case HXWM_QUEUEDONE:
        case HXWM_QUEUESTOPPED:
        case HXWM_DEVICEREMOVAL: {
            std::lock_guard guard(set->mutex_);
            set->MarkEnded(stream);
            break;
        }
        default:
            break;
    }
}

}  // namespace bench
