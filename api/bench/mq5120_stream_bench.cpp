// Continuous analog input of an MQ5120 at its top clock through the whole stack: the library's
// exports and copy thread, the kernel stand-in, the board driver, the USB bus and the board model,
// the board paced at its 500 kHz clock. The application side recycles each finished buffer from
// its notification procedure, on the copy thread, with 8 buffers queued.
//
// For buffers of 0.1 s of data (with --all also 0.02 s and 0.5 s), prints the samples delivered
// and the samples the clock produced meanwhile, the overruns reported (there should be none), the
// process's CPU time per second of acquisition (also as a share of one core), and the delay from a
// read's completion in the driver to the buffer-done notification of its buffer (median and 99th
// percentile). The completion is seen by the kernel stand-in's completion observer, the
// notification by the procedure; both take the steady clock. The samples the clock produced are
// counted on the stand-ins' clock, which holds across host stalls: the stalls absorbed are printed
// beside the overruns.
//
// Usage: api_mq5120_stream_bench [seconds per case, default 60] [--all] [--default-machine]
//   --default-machine: the machine that MQ_MACHINE names (or the per-user default) and its first
//                      MQ5120 board; otherwise a temporary machine with one board, removed after.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "bench_machine.h"
#include "bench_run.h"
#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/machine.h"
#include "kernel/testing.h"
#include "simclock/clock.h"

namespace {

using bench::kBoardClockHz;
using bench::processCpuSeconds;
using Steady = std::chrono::steady_clock;

constexpr std::size_t kQueued = 8;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

// One run: the buffers' data areas with the time their last read completed, the delays measured,
// and what the notifications reported.
struct Measure {
    bench::Run run;
    std::array<const void*, kQueued> data{};
    std::array<std::atomic<std::int64_t>, kQueued> completedNs{};
    std::vector<double> delaysMs;  // touched by the copy thread only, until the run has ended
    std::atomic<std::uint64_t> samples{0};
    std::atomic<std::uint32_t> overruns{0};
    std::atomic<std::uint32_t> unmatched{0};  // buffer-done without a completion seen
    std::atomic<std::int64_t> lastDoneNs{0};
    std::atomic<std::int64_t> lastDoneClockNs{0};  // on the stand-ins' clock

    int slotOf(const void* address) const {
        for (std::size_t i = 0; i < data.size(); ++i)
            if (data[i] == address)
                return static_cast<int>(i);
        return -1;
    }
    void ended() {
        std::lock_guard guard(run.mutex);
        run.queueDone = true;
        run.ended.notify_all();
    }
};

// The run in progress (a procedure's own value is a 32-bit word, too narrow for a pointer).
std::atomic<Measure*> g_measure{nullptr};

// On the completing thread (the driver's poll): stamps the buffer's completion.
void onReadCompleted(const void* userBuffer, std::size_t bytes) {
    Measure* measure = g_measure.load();
    if (measure == nullptr || bytes == 0)
        return;
    const int slot = measure->slotOf(userBuffer);
    if (slot >= 0)
        measure->completedNs[slot].store(nowNs(), std::memory_order_release);
}

// On the copy thread: takes the finished buffer, measures its delay and queues it again.
void CALLBACK onNotification(UINT message, HDASS hDass, LPARAM) {
    const std::int64_t now = nowNs();
    Measure* measure = g_measure.load();
    if (measure == nullptr)
        return;
    switch (message) {
        case HXWM_BUFFERDONE: {
            measure->run.buffers.fetch_add(1, std::memory_order_relaxed);
            measure->lastDoneNs.store(now);
            measure->lastDoneClockNs.store(simclock::Now().count());
            HBUF buffer = 0;
            if (hxDaGetBuffer(hDass, &buffer) != HXNOERROR || buffer == 0)
                break;
            void* data = nullptr;
            std::uint32_t valid = 0;
            hxDmGetBufferPtr(buffer, &data);
            hxDmGetValidSamples(buffer, &valid);
            measure->samples.fetch_add(valid, std::memory_order_relaxed);
            const int slot = measure->slotOf(data);
            const std::int64_t completed =
                slot >= 0 ? measure->completedNs[slot].exchange(0, std::memory_order_acq_rel) : 0;
            if (completed != 0)
                measure->delaysMs.push_back(static_cast<double>(now - completed) * 1e-6);
            else
                measure->unmatched.fetch_add(1, std::memory_order_relaxed);
            if (measure->run.recycle.load())
                hxDaPutBuffer(hDass, buffer);
            break;
        }
        case HXWM_OVERRUNERROR:  // the library aborts the A/D on it: the run is over
            measure->overruns.fetch_add(1, std::memory_order_relaxed);
            measure->ended();
            break;
        case HXWM_QUEUEDONE:
        case HXWM_QUEUESTOPPED:
        case HXWM_DEVICEREMOVAL:
            measure->ended();
            break;
        default:
            break;
    }
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

struct Result {
    double clock = 0;
    double acquisitionSeconds = 0;  // from the start to the last buffer done
    double clockSeconds = 0;        // the same on the stand-ins' clock
    simclock::StallRecord stalls;
    std::uint64_t samples = 0;
    std::uint32_t overruns = 0;
    std::uint32_t unmatched = 0;
    double cpuSeconds = 0;
    std::vector<double> delaysMs;
};

// Streams for `seconds` with buffers of `bufferSeconds`, then lets the queue run dry.
bool runCase(HDEV hDev, double bufferSeconds, double seconds, Result* result) {
    HDASS hDass = 0;
    if (hxDaGetDASS(hDev, HXSS_AD, 0, &hDass) != HXNOERROR) {
        std::fprintf(stderr, "the A/D did not open\n");
        return false;
    }
    auto measure = std::make_unique<Measure>();
    measure->delaysMs.reserve(static_cast<std::size_t>(seconds / bufferSeconds) + 64);
    const auto samplesPerBuffer = static_cast<std::uint32_t>(kBoardClockHz * bufferSeconds);
    std::vector<HBUF> made;
    bool ok = hxDaSetNotificationProcedure(hDass, onNotification, 0) == HXNOERROR &&
              hxDaSetDataFlow(hDass, HXDF_CONTINUOUS) == HXNOERROR &&
              hxDaSetClockFrequency(hDass, kBoardClockHz) == HXNOERROR &&
              hxDaConfig(hDass) == HXNOERROR &&
              hxDaGetClockFrequency(hDass, &result->clock) == HXNOERROR;
    for (std::size_t i = 0; ok && i < kQueued; ++i) {
        HBUF buffer = 0;
        void* data = nullptr;
        ok = hxDmAllocBuffer(0, samplesPerBuffer, &buffer) == 0 &&
             hxDmGetBufferPtr(buffer, &data) == 0;
        if (buffer != 0)
            made.push_back(buffer);
        measure->data[i] = data;
        ok = ok && hxDaPutBuffer(hDass, buffer) == HXNOERROR;
    }
    if (!ok)
        std::fprintf(stderr, "the A/D could not be set up\n");
    g_measure.store(measure.get());
    kernel::testing::SetCompletionObserver(onReadCompleted);

    const double cpuBefore = processCpuSeconds();
    const std::int64_t startNs = nowNs();
    simclock::ResetStalls();
    const std::int64_t clockStartNs = simclock::Now().count();
    ok = ok && hxDaStart(hDass) == HXNOERROR;
    if (ok) {
        {
            std::unique_lock lock(measure->run.mutex);
            measure->run.ended.wait_for(lock, std::chrono::duration<double>(seconds),
                                        [&] { return measure->run.queueDone; });
        }
        measure->run.recycle.store(false);  // the queue runs dry and the transfer ends itself
        std::unique_lock lock(measure->run.mutex);
        if (!measure->run.ended.wait_for(lock, std::chrono::seconds(30),
                                         [&] { return measure->run.queueDone; })) {
            std::fprintf(stderr, "the transfer did not end; aborted\n");
            lock.unlock();
            hxDaAbort(hDass);
            ok = false;
        }
    } else {
        std::fprintf(stderr, "the A/D did not start\n");
    }
    result->cpuSeconds = processCpuSeconds() - cpuBefore;
    ok = hxDaReleaseDASS(hDass) == HXNOERROR && ok;
    kernel::testing::SetCompletionObserver({});
    g_measure.store(nullptr);

    const std::int64_t lastNs = measure->lastDoneNs.load();
    result->acquisitionSeconds =
        lastNs > startNs ? static_cast<double>(lastNs - startNs) * 1e-9 : 0;
    const std::int64_t lastClockNs = measure->lastDoneClockNs.load();
    result->clockSeconds =
        lastClockNs > clockStartNs ? static_cast<double>(lastClockNs - clockStartNs) * 1e-9 : 0;
    result->stalls = simclock::Stalls();
    result->samples = measure->samples.load();
    result->overruns = measure->overruns.load();
    result->unmatched = measure->unmatched.load();
    result->delaysMs = std::move(measure->delaysMs);
    for (HBUF buffer : made)
        hxDmFreeBuffer(buffer);
    return ok;
}

void printResult(double bufferSeconds, const Result& r) {
    const double seconds = r.acquisitionSeconds;
    const double expected = r.clock * r.clockSeconds;
    const double cpuPerSecond = seconds > 0 ? r.cpuSeconds / seconds : 0;
    std::printf(
        "buffers of %.2f s (%u samples), %zu queued, clock %.0f Hz, %.1f s of acquisition\n",
        bufferSeconds, static_cast<unsigned>(kBoardClockHz * bufferSeconds), kQueued, r.clock,
        seconds);
    std::printf("  samples delivered      %12llu (expected %.0f at the clock, %.4f of it)\n",
                static_cast<unsigned long long>(r.samples), expected,
                expected > 0 ? static_cast<double>(r.samples) / expected : 0.0);
    std::printf("  overruns               %12u\n", r.overruns);
    std::printf("  stalls absorbed        %12llu (longest %.1f ms, %.1f ms in all)\n",
                static_cast<unsigned long long>(r.stalls.count),
                std::chrono::duration<double, std::milli>(r.stalls.longest).count(),
                std::chrono::duration<double, std::milli>(r.stalls.total).count());
    std::printf("  CPU s per s            %12.4f (%.2f %% of one core)\n", cpuPerSecond,
                cpuPerSecond * 100);
    std::printf("  completion -> done ms  median %.3f, p99 %.3f (%zu buffers",
                percentile(r.delaysMs, 0.5), percentile(r.delaysMs, 0.99), r.delaysMs.size());
    if (r.unmatched != 0)
        std::printf(", %u without a completion seen", r.unmatched);
    std::printf(")\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    bool all = false;
    bool defaultMachine = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all") == 0) {
            all = true;
        } else if (std::strcmp(argv[i], "--default-machine") == 0) {
            defaultMachine = true;
        } else {
            char* end = nullptr;
            seconds = std::strtod(argv[i], &end);
            if (end == argv[i] || *end != '\0' || !(seconds > 0)) {
                std::fprintf(stderr,
                             "usage: %s [seconds per case, default 60] [--all] "
                             "[--default-machine]\n",
                             argv[0]);
                return 2;
            }
        }
    }

    // A machine of its own with one paced board, so that the benchmark leaves nothing behind.
    const bench::BenchMachine machine("hxda-mq5120-bench", {"MQ5120 4 1 AD0.0=sine:5:50"},
                                      defaultMachine);
    struct {
        std::string name;
    } board{bench::FirstBoardOf("MQ5120")};
    int status = 0;
    HDEV hDev = 0;
    if (board.name.empty()) {
        std::fprintf(stderr, "no MQ5120 board on the machine\n");
        status = 1;
    } else if (hxDaInitialize(board.name.c_str(), &hDev) != HXNOERROR) {
        std::fprintf(stderr, "%s did not open\n", board.name.c_str());
        status = 1;
    }
    if (status == 0) {
        std::printf(
            "%s, continuous A/D at %.0f Hz through the library, the board driver and the "
            "board model, %.0f s per case\n",
            board.name.c_str(), kBoardClockHz, seconds);
        std::vector<double> cases{0.1};
        if (all)
            cases = {0.02, 0.1, 0.5};
        for (const double bufferSeconds : cases) {
            Result result;
            if (!runCase(hDev, bufferSeconds, seconds, &result))
                status = 1;
            printResult(bufferSeconds, result);
            if (result.overruns != 0 && bufferSeconds >= 0.1)
                status = 1;
        }
    }
    if (hDev != 0)
        hxDaTerminate(hDev);
    return status;
}
