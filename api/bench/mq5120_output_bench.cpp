// Continuous analog output of an MQ5120 at its top clock through the whole stack, looped back to
// an analog input that streams at the same clock: the board list wires input 0 to output 0. The
// D/A plays a running count (1, 2, ... 65535, 1, ...) from 8 queued buffers that the notification
// procedure refills and queues again; the A/D's buffers are recycled the same way and every
// sample read is compared with the count the output had at its conversion.
//
// Prints the samples the D/A took against those its clock asked for, the underruns (the board's
// memory ran dry with data still to come; 0 expected), the samples read back that differ from
// those sent once the loop's delay (found from the first sample of the count that comes back) is
// accounted for (0 expected), and the process's CPU time per second.
//
// Usage: api_mq5120_output_bench [seconds, default 60] [--default-machine]
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_machine.h"
#include "bench_run.h"
#include "hxdaapi32.h"
#include "hxmem32.h"

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::size_t kQueued = 8;
constexpr double kBufferSeconds = 0.1;
constexpr std::uint32_t kCountModulus = 65535;  // the count runs 1 .. 65535

std::uint16_t CountAt(std::uint64_t n) {
    return static_cast<std::uint16_t>(1 + n % kCountModulus);
}

// One side of the loop: its buffers and what its notifications did.
struct Side {
    HDASS hDass = 0;
    std::vector<HBUF> made;
    std::atomic<std::uint64_t> buffers{0};
    std::atomic<std::uint32_t> underruns{0};
    std::atomic<std::uint32_t> overruns{0};
    std::atomic<bool> ended{false};
};

struct Loop {
    Side out;
    Side in;
    std::atomic<bool> recycle{true};
    std::uint32_t samplesPerBuffer = 0;
    // The count's next sample to go into an output buffer (written by the D/A's copy thread).
    std::atomic<std::uint64_t> nextCount{0};
    // The input's check, on the A/D's copy thread.
    std::uint64_t read = 0;
    std::int64_t lag = -1;  // conversions before the count's first sample came back
    std::uint64_t compared = 0;
    std::uint64_t mismatched = 0;
};

std::atomic<Loop*> g_loop{nullptr};

void Fill(Loop& loop, HBUF buffer) {
    void* data = nullptr;
    hxDmGetBufferPtr(buffer, &data);
    auto* samples = static_cast<std::uint16_t*>(data);
    for (std::uint32_t i = 0; i < loop.samplesPerBuffer; ++i)
        samples[i] = CountAt(loop.nextCount.fetch_add(1, std::memory_order_relaxed));
}

// Compares the input's samples with the count, once the count's first sample has come back.
void Check(Loop& loop, HBUF buffer) {
    void* data = nullptr;
    std::uint32_t valid = 0;
    hxDmGetBufferPtr(buffer, &data);
    hxDmGetValidSamples(buffer, &valid);
    const auto* samples = static_cast<const std::uint16_t*>(data);
    for (std::uint32_t i = 0; i < valid; ++i, ++loop.read) {
        if (loop.lag < 0) {
            if (samples[i] == CountAt(0))
                loop.lag = static_cast<std::int64_t>(loop.read);
            continue;
        }
        const std::uint64_t n = loop.read - static_cast<std::uint64_t>(loop.lag);
        // Only what the output played: after the count's end the input reads its last level.
        if (n >= loop.nextCount.load(std::memory_order_relaxed))
            continue;
        ++loop.compared;
        loop.mismatched += samples[i] != CountAt(n);
    }
}

void CALLBACK onNotification(UINT message, HDASS hDass, LPARAM) {
    Loop* loop = g_loop.load();
    if (loop == nullptr)
        return;
    Side& side = hDass == loop->out.hDass ? loop->out : loop->in;
    switch (message) {
        case HXWM_BUFFERDONE: {
            side.buffers.fetch_add(1, std::memory_order_relaxed);
            HBUF buffer = 0;
            if (hxDaGetBuffer(hDass, &buffer) != HXNOERROR || buffer == 0)
                break;
            if (&side == &loop->in)
                Check(*loop, buffer);
            else if (loop->recycle.load())
                Fill(*loop, buffer);
            if (loop->recycle.load())
                hxDaPutBuffer(hDass, buffer);
            break;
        }
        case HXWM_UNDERRUNERROR:
            side.underruns.fetch_add(1);
            side.ended = true;
            break;
        case HXWM_OVERRUNERROR:
            side.overruns.fetch_add(1);
            side.ended = true;
            break;
        case HXWM_QUEUEDONE:
        case HXWM_QUEUESTOPPED:
        case HXWM_IOCOMPLETE:
        case HXWM_DEVICEREMOVAL:
            side.ended = true;
            break;
        default:
            break;
    }
}

bool SetUp(HDEV hDev, UINT type, double clock, Loop& loop, Side& side) {
    if (hxDaGetDASS(hDev, type, 0, &side.hDass) != HXNOERROR)
        return false;
    bool ok = hxDaSetNotificationProcedure(side.hDass, onNotification, 0) == HXNOERROR &&
              hxDaSetDataFlow(side.hDass, HXDF_CONTINUOUS) == HXNOERROR &&
              hxDaSetClockFrequency(side.hDass, clock) == HXNOERROR &&
              hxDaSetChannelListSize(side.hDass, 1) == HXNOERROR &&
              hxDaSetChannelListEntry(side.hDass, 0, 0) == HXNOERROR &&
              hxDaConfig(side.hDass) == HXNOERROR;
    for (std::size_t i = 0; ok && i < kQueued; ++i) {
        HBUF buffer = 0;
        ok = hxDmAllocBuffer(0, loop.samplesPerBuffer, &buffer) == 0;
        if (buffer != 0)
            side.made.push_back(buffer);
        if (ok && type == HXSS_DA)
            Fill(loop, buffer);
        ok = ok && hxDaPutBuffer(side.hDass, buffer) == HXNOERROR;
    }
    return ok;
}

// The board's D/A underruns as its model counted them (the machine's benchmark hook); -1 when
// the machine does not tell.
long BoardUnderruns() {
    void* module = dlopen("libMqMachine.so", RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr)
        return -1;
    using Entry =
        long(const char*, unsigned, void*, long, int, unsigned long*, int*, unsigned long*);
    auto* entry = reinterpret_cast<Entry*>(dlsym(module, "MqMachineBoardOutputs"));
    unsigned long underruns = 0;
    const long found =
        entry != nullptr ? entry("MQ5120", 1, nullptr, 0, 1, &underruns, nullptr, nullptr) : -1;
    dlclose(module);
    return found < 0 ? -1 : static_cast<long>(underruns);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    bool defaultMachine = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--default-machine") == 0) {
            defaultMachine = true;
            continue;
        }
        char* end = nullptr;
        seconds = std::strtod(argv[i], &end);
        if (end == argv[i] || *end != '\0' || !(seconds > 0)) {
            std::fprintf(stderr, "usage: %s [seconds, default 60] [--default-machine]\n", argv[0]);
            return 2;
        }
    }
    const bench::BenchMachine machine("hxda-mq5120-output-bench", {"MQ5120 4 1 AD0.0=DA0.0"},
                                      defaultMachine);
    const std::string board = bench::FirstBoardOf("MQ5120");
    HDEV hDev = 0;
    if (board.empty() || hxDaInitialize(board.c_str(), &hDev) != HXNOERROR) {
        std::fprintf(stderr, "no MQ5120 board opens on the machine\n");
        return 1;
    }

    auto loop = std::make_unique<Loop>();
    g_loop.store(loop.get());
    // The D/A's top clock, and the A/D at the same.
    HDASS probe = 0;
    double clock = 0;
    hxDaGetDASS(hDev, HXSS_DA, 0, &probe);
    hxDaGetSSCapsEx(probe, HXSSC_MAXFREQ, &clock);
    hxDaReleaseDASS(probe);
    loop->samplesPerBuffer = static_cast<std::uint32_t>(clock * kBufferSeconds);
    bool ok = clock > 0 && SetUp(hDev, HXSS_DA, clock, *loop, loop->out) &&
              SetUp(hDev, HXSS_AD, clock, *loop, loop->in);
    double daClock = 0;
    hxDaGetClockFrequency(loop->out.hDass, &daClock);

    const double cpuBefore = bench::processCpuSeconds();
    const auto start = Steady::now();
    ok = ok && hxDaStart(loop->in.hDass) == HXNOERROR && hxDaStart(loop->out.hDass) == HXNOERROR;
    if (!ok)
        std::fprintf(stderr, "the loop did not start\n");
    while (ok && Steady::now() - start < std::chrono::duration<double>(seconds) &&
           !loop->out.ended && !loop->in.ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
    loop->recycle = false;
    hxDaAbort(loop->in.hDass);
    hxDaAbort(loop->out.hDass);
    const double cpu = bench::processCpuSeconds() - cpuBefore;
    const long boardUnderruns = BoardUnderruns();
    hxDaReleaseDASS(loop->in.hDass);
    hxDaReleaseDASS(loop->out.hDass);
    g_loop.store(nullptr);

    const double sent = static_cast<double>(loop->out.buffers.load()) * loop->samplesPerBuffer;
    const double asked = daClock * elapsed;
    std::printf("%s, D/A at %.0f Hz looped back to the A/D at the same clock, %.1f s\n",
                board.c_str(), daClock, elapsed);
    std::printf(
        "  samples sent           %12.0f (the clock asked %.0f, %.4f of it; up to %zu "
        "buffers of %u are in the board and on their way)\n",
        sent, asked, asked > 0 ? sent / asked : 0.0, kQueued, loop->samplesPerBuffer);
    std::printf("  underruns              %12u (the board counted %ld)\n",
                loop->out.underruns.load(), boardUnderruns);
    std::printf("  overruns of the A/D    %12u\n", loop->in.overruns.load());
    std::printf("  read back              %12llu compared, %llu differ (loop delay %lld samples)\n",
                static_cast<unsigned long long>(loop->compared),
                static_cast<unsigned long long>(loop->mismatched),
                static_cast<long long>(loop->lag));
    std::printf("  CPU s per s            %12.4f (%.2f %% of one core)\n", cpu / elapsed,
                cpu / elapsed * 100);
    for (Side* side : {&loop->in, &loop->out})
        for (HBUF buffer : side->made)
            hxDmFreeBuffer(buffer);
    hxDaTerminate(hDev);
    const bool clean = ok && loop->out.underruns == 0 && boardUnderruns == 0 &&
                       loop->in.overruns == 0 && loop->mismatched == 0 && loop->compared > 0;
    return clean ? 0 : 1;
}
