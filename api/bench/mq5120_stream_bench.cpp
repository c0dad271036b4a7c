// Continuous analog input of an MQ5120 at its top clock through the whole stack: the library's
// exports and copy thread, the kernel stand-in, the board driver, the USB bus and the board model,
// the board paced at its 500 kHz clock. The application side recycles each finished buffer from
// its notification procedure, on the copy thread, with 8 buffers queued.
//
// For buffers of 0.1 s of data (with --all also 0.02 s and 0.5 s), prints the samples delivered
// and the samples the clock produced meanwhile, the overruns reported (there should be none) and
// the host stalls the stand-ins' clock absorbed meanwhile, the process's CPU time per second of
// acquisition (also as a share of one core), and the delay from a read's completion in the driver
// to the buffer-done notification of its buffer (median and 99th percentile), and the CPU time
// spent in the board model's bus calls. The completion is seen by the kernel stand-in's completion
// observer, the notification by the procedure; both take the steady clock.
//
// Usage: api_mq5120_stream_bench [seconds per case, default 60] [--all] [--default-machine]
//   --default-machine: the machine that MQ_MACHINE names (or the per-user default) and its first
//                      MQ5120 board; otherwise a temporary machine with one board, removed after.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hxdaapi32.h"
#include "mq5120_streams.h"
#include "simclock/clock.h"

namespace {

constexpr std::size_t kQueued = 8;

struct Result {
    bench::StreamResult stream;
    bench::CpuReading cpu;
    bench::HostStalls stalls;  // absorbed during the case
};

// Streams for `seconds` with buffers of `bufferSeconds`, then lets the queue run dry.
bool runCase(HDEV hDev, const std::string& board, double bufferSeconds, double seconds,
             Result* result) {
    bench::StreamSettings settings;
    settings.bufferSeconds = bufferSeconds;
    settings.queued = kQueued;
    bench::StreamSet set(settings);
    bool ok = set.Add(hDev, board);
    simclock::ResetStalls();
    const bench::CpuReading before = bench::ReadCpu();
    ok = ok && set.StartAll();
    if (ok) {
        set.RunFor(seconds);
        ok = set.DrainAll();
    }
    result->cpu = bench::ReadCpu() - before;
    result->stalls = bench::HostStallsSoFar();
    result->stream = set.Results().front();
    return ok;
}

void printResult(double bufferSeconds, const Result& result) {
    const bench::StreamResult& r = result.stream;
    const double seconds = r.acquisitionSeconds;
    const double expected = r.SamplesAtTheClock();
    const double cpuPerSecond = seconds > 0 ? result.cpu.processSeconds / seconds : 0;
    const double boardPerSecond = seconds > 0 ? result.cpu.boardSeconds / seconds : 0;
    std::printf(
        "buffers of %.2f s (%u samples), %zu queued, clock %.0f Hz, %.1f s of acquisition\n",
        bufferSeconds, static_cast<unsigned>(r.clock * bufferSeconds), kQueued, r.clock, seconds);
    std::printf("  samples delivered      %12llu (expected %.0f at the clock, %.4f of it)\n",
                static_cast<unsigned long long>(r.samples), expected, r.ClockShare());
    std::printf("  overruns               %12u\n", r.overruns);
    std::printf("  host stalls            %s\n", bench::Describe(result.stalls).c_str());
    std::printf("  CPU s per s            %12.4f (%.2f %% of one core)\n", cpuPerSecond,
                cpuPerSecond * 100);
    std::printf("    in the board model   %12.4f (%.1f %% of the process's)\n", boardPerSecond,
                cpuPerSecond > 0 ? 100 * boardPerSecond / cpuPerSecond : 0.0);
    std::printf("  completion -> done ms  median %.3f, p99 %.3f (%zu buffers",
                bench::Percentile(r.delaysMs, 0.5), bench::Percentile(r.delaysMs, 0.99),
                r.delaysMs.size());
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
    const std::vector<std::string> boards = bench::Mq5120BoardNames();
    int status = 0;
    HDEV hDev = 0;
    if (boards.empty()) {
        std::fprintf(stderr, "no MQ5120 board on the machine\n");
        status = 1;
    } else if (hxDaInitialize(boards.front().c_str(), &hDev) != HXNOERROR) {
        std::fprintf(stderr, "%s did not open\n", boards.front().c_str());
        status = 1;
    }
    if (status == 0) {
        std::printf(
            "%s, continuous A/D at %.0f Hz through the library, the board driver and the "
            "board model, %.0f s per case\n",
            boards.front().c_str(), bench::StreamSettings{}.clockHz, seconds);
        std::vector<double> cases{0.1};
        if (all)
            cases = {0.02, 0.1, 0.5};
        for (const double bufferSeconds : cases) {
            Result result;
            if (!runCase(hDev, boards.front(), bufferSeconds, seconds, &result))
                status = 1;
            printResult(bufferSeconds, result);
            if (result.stream.overruns != 0 && bufferSeconds >= 0.1)
                status = 1;
        }
    }
    if (hDev != 0)
        hxDaTerminate(hDev);
    return status;
}
