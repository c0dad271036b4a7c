// What both streaming benchmarks share: the run in progress, the notification procedure that
// recycles each finished buffer on the copy thread, and the process's CPU clock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "hxdaapi32.h"
#include "simclock/clock.h"

namespace bench {

constexpr double kBoardClockHz = 500000.0;

struct Run {
    std::atomic<std::uint64_t> buffers{0};
    std::atomic<bool> recycle{true};
    std::mutex mutex;
    std::condition_variable ended;
    bool queueDone = false;
};

// The run in progress (a procedure's own value is a 32-bit word, too narrow for a pointer).
inline std::atomic<Run*> g_run{nullptr};

// Counts each finished buffer and queues it again while the run recycles; marks the queue's end.
inline void CALLBACK onNotification(UINT message, HDASS hDass, LPARAM) {
    Run* run = g_run.load();
    if (message == HXWM_BUFFERDONE) {
        run->buffers.fetch_add(1, std::memory_order_relaxed);
        HBUF buffer = 0;
        if (hxDaGetBuffer(hDass, &buffer) == HXNOERROR && buffer != 0 && run->recycle.load())
            hxDaPutBuffer(hDass, buffer);
    } else if (message == HXWM_QUEUEDONE) {
        std::lock_guard guard(run->mutex);
        run->queueDone = true;
        run->ended.notify_all();
    }
}

inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Figures {
    double samplesPerSecond = 0;
    double cpuSecondsPerMillion = 0;
    simclock::StallRecord stalls;  // host stalls the stand-ins' clock absorbed during the case
};

// The columns of the stalls absorbed, beside a case's figures.
inline constexpr const char* kStallColumns = " %8s %12s";
inline void printStalls(const simclock::StallRecord& stalls) {
    std::printf(" %8llu %12.1f", static_cast<unsigned long long>(stalls.count),
                std::chrono::duration<double, std::milli>(stalls.longest).count());
}

}  // namespace bench
