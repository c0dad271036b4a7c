// Streaming throughput of a stand-in board through the library: continuous input from the A/D of a
// simulated Mq5200 (an MQ5204) in its unpaced mode (the stand-in driver fills each read with the
// converter's codes as soon as it is issued), through the exports, the copy thread, the I/O manager
// and the stand-in driver. The application side recycles each finished buffer from its notification
// procedure, on the copy thread.
//
// For 2, 8 and 32 queued buffers (at most 8 are in process at once) and buffers of 1 ms to 1 s of
// data at 500 kHz, prints samples per second delivered and the process's CPU time per million
// samples. Then the same board paced at its clock (the fastest it has, which the clock asked for is
// held to): the rate delivered should be the clock's, whatever the buffers.
//
// Usage: api_sim_stream_bench [seconds per case, default 0.5]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "bench_run.h"
#include "hxdaapi32.h"
#include "hxmem32.h"

namespace {

using bench::Figures;
using bench::g_run;
using bench::kBoardClockHz;
using bench::onNotification;
using bench::processCpuSeconds;
using bench::Run;

bool runCase(HDEV hDev, std::uint32_t queued, std::uint32_t samplesPerBuffer, double seconds,
             Figures* figures, double* clock = nullptr) {
    HDASS hDass = 0;
    if (hxDaGetDASS(hDev, HXSS_AD, 0, &hDass) != HXNOERROR)
        return false;
    Run run;
    g_run.store(&run);
    std::vector<HBUF> made;
    bool ok = hxDaSetNotificationProcedure(hDass, onNotification, 0) == HXNOERROR &&
              hxDaSetDataFlow(hDass, HXDF_CONTINUOUS) == HXNOERROR &&
              hxDaSetClockFrequency(hDass, kBoardClockHz) == HXNOERROR &&
              hxDaConfig(hDass) == HXNOERROR;
    if (ok && clock != nullptr)
        ok = hxDaGetClockFrequency(hDass, clock) == HXNOERROR;
    for (std::uint32_t i = 0; ok && i < queued; ++i) {
        HBUF buffer = 0;
        ok = hxDmAllocBuffer(0, samplesPerBuffer, &buffer) == 0 &&
             hxDaPutBuffer(hDass, buffer) == HXNOERROR;
        made.push_back(buffer);
    }
    const double cpuBefore = processCpuSeconds();
    simclock::ResetStalls();
    const auto before = std::chrono::steady_clock::now();
    ok = ok && hxDaStart(hDass) == HXNOERROR;
    if (ok) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        run.recycle.store(false);  // the queue runs dry and the transfer ends itself
        std::unique_lock lock(run.mutex);
        ok = run.ended.wait_for(lock, std::chrono::seconds(30), [&] { return run.queueDone; });
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    figures->stalls = simclock::Stalls();
    const double samples = static_cast<double>(run.buffers.load()) * samplesPerBuffer;
    figures->samplesPerSecond = samples / wall;
    figures->cpuSecondsPerMillion = samples > 0 ? cpu / (samples / 1e6) : 0;
    ok = hxDaReleaseDASS(hDass) == HXNOERROR && ok;
    g_run.store(nullptr);
    for (HBUF buffer : made)
        hxDmFreeBuffer(buffer);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.5;
    // A machine of its own with one unpaced board, so that the benchmark leaves nothing behind.
    const std::filesystem::path machine =
        std::filesystem::temp_directory_path() / ("hxda-sim-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(machine);
    std::ofstream(machine / "boards.txt") << "Mq5200 0x5204 1 unpaced AD0.0=const:1.25\n"
                                          << "Mq5200 0x5204 2 AD0.0=const:1.25\n";
    setenv("MQ_MACHINE", machine.c_str(), 1);

    int status = 0;
    HDEV hDev = 0;
    if (hxDaInitialize("Mq5200(00)", &hDev) != HXNOERROR) {
        std::fprintf(stderr, "the stand-in board did not open\n");
        status = 1;
    }
    std::printf("stand-in MQ5204, unpaced A/D through the library:\n");
    std::printf("%8s %10s %10s %16s %18s", "queued", "buffer ms", "samples", "samples/s",
                "CPU s/M samples");
    std::printf(bench::kStallColumns, "stalls", "longest ms");
    std::printf("\n");
    for (const std::uint32_t queued : {2u, 8u, 32u}) {
        for (const double ms : {1.0, 10.0, 100.0, 1000.0}) {
            if (status != 0)
                break;
            const auto samples = static_cast<std::uint32_t>(kBoardClockHz * ms / 1000.0);
            Figures figures;
            if (!runCase(hDev, queued, samples, seconds, &figures)) {
                std::fprintf(stderr, "case %u x %.0f ms failed\n", queued, ms);
                status = 1;
                break;
            }
            std::printf("%8u %10.0f %10u %16.3e %18.6f", queued, ms, samples,
                        figures.samplesPerSecond, figures.cpuSecondsPerMillion);
            bench::printStalls(figures.stalls);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    if (hDev != 0)
        hxDaTerminate(hDev);

    // Paced: the board's clock sets the rate; the figures show that the stand-in keeps it.
    HDEV paced = 0;
    if (status == 0 && hxDaInitialize("Mq5200(01)", &paced) != HXNOERROR) {
        std::fprintf(stderr, "the paced stand-in board did not open\n");
        status = 1;
    }
    if (status == 0) {
        std::printf("stand-in MQ5204, paced at its clock, 8 buffers queued:\n");
        std::printf("%10s %14s %16s %18s", "buffer ms", "clock Hz", "samples/s", "CPU s/M samples");
        std::printf(bench::kStallColumns, "stalls", "longest ms");
        std::printf("\n");
    }
    for (const double ms : {1.0, 10.0, 100.0}) {
        if (status != 0)
            break;
        const auto samples = static_cast<std::uint32_t>(kBoardClockHz * ms / 1000.0);
        Figures figures;
        double clock = 0;
        if (!runCase(paced, 8, samples, std::max(seconds, 1.0), &figures, &clock)) {
            std::fprintf(stderr, "paced case %.0f ms failed\n", ms);
            status = 1;
            break;
        }
        std::printf("%10.0f %14.0f %16.3e %18.6f", ms, clock, figures.samplesPerSecond,
                    figures.cpuSecondsPerMillion);
        bench::printStalls(figures.stalls);
        std::printf("\n");
        std::fflush(stdout);
    }
    if (paced != 0)
        hxDaTerminate(paced);
    std::filesystem::remove_all(machine);
    return status;
}
