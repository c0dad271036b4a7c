// Streaming throughput of the API library: continuous input through the exports and the copy
// thread onto the tests' scripted streaming driver in its unpaced mode (every read is completed
// as soon as it is issued), first without writing sample data, so that the figures are those of
// the library and the platform's I/O path, then with the driver writing every sample. The
// application side recycles each finished buffer from its notification procedure (take it from the
// done list, queue it again), on the copy thread.
//
// For 2, 8 and 32 queued buffers (at most 8 are in process at once) and buffers of 1 ms to 1 s of
// data at the fastest board clock (500 kHz), prints samples per second delivered and the process's
// CPU time per million samples.
//
// Usage: api_stream_bench [seconds per case, default 0.5]
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "bench_run.h"
#include "core/capabilities.h"
#include "core/engine.h"
#include "hxdaapi32.h"
#include "ops/make_copy_thread.h"
#include "streaming_driver.h"
#include "testing/hxda_testing.h"

namespace {

using bench::Figures;
using bench::g_run;
using bench::kBoardClockHz;
using bench::onNotification;
using bench::processCpuSeconds;
using bench::Run;

bool openSubsystem(HDEV hDev, const hxda::PersonalityRecord& personality, HDASS* hDass) {
    hxda::SubsystemParts parts;
    parts.type = HXSS_AD;
    parts.personality = personality;
    if (hxda::testing::openTestSubsystemAt(hDev, std::move(parts), hDass) != HXNOERROR)
        return false;
    const std::shared_ptr<hxda::SubsystemRecord> record = hxda::findSubsystem(*hDass);
    record->copyThread = hxda::makeCopyThread(*record);
    return record->copyThread != nullptr;
}

bool runCase(HDEV hDev, const hxda::PersonalityRecord& personality, bool fill, std::uint32_t queued,
             std::uint32_t samplesPerBuffer, double seconds, Figures* figures) {
    HDASS hDass = 0;
    if (!openSubsystem(hDev, personality, &hDass))
        return false;
    streamer::SetUnpaced(u"\\AD0", true);
    streamer::SetFillData(u"\\AD0", fill);
    Run run;
    g_run.store(&run);
    if (hxDaSetNotificationProcedure(hDass, onNotification, 0) != HXNOERROR ||
        hxDaSetDataFlow(hDass, HXDF_CONTINUOUS) != HXNOERROR || hxDaConfig(hDass) != HXNOERROR)
        return false;
    for (std::uint32_t i = 0; i < queued; ++i) {
        HBUF buffer = 0;
        if (hxDmAllocBuffer(0, samplesPerBuffer, &buffer) != 0 ||
            hxDaPutBuffer(hDass, buffer) != HXNOERROR)
            return false;
    }
    const double cpuBefore = processCpuSeconds();
    simclock::ResetStalls();
    const auto before = std::chrono::steady_clock::now();
    if (hxDaStart(hDass) != HXNOERROR)
        return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    run.recycle.store(false);  // the queue runs dry and the transfer ends itself
    {
        std::unique_lock lock(run.mutex);
        if (!run.ended.wait_for(lock, std::chrono::seconds(30), [&] { return run.queueDone; }))
            return false;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    figures->stalls = simclock::Stalls();
    const double samples = static_cast<double>(run.buffers.load()) * samplesPerBuffer;
    figures->samplesPerSecond = samples / wall;
    figures->cpuSecondsPerMillion = cpu / (samples / 1e6);
    return hxDaReleaseDASS(hDass) == HXNOERROR;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.5;
    // A machine of its own, so that the benchmark leaves nothing behind.
    const std::filesystem::path machine =
        std::filesystem::temp_directory_path() / ("hxda-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(machine);
    setenv("MQ_MACHINE", machine.c_str(), 1);

    std::vector<std::uint32_t> capabilities(hxda::kCapabilityTableEntries, 0);
    auto set = [&](std::uint32_t code, std::uint32_t value) {
        capabilities[code <= 60 ? code : code - 12] = value;
    };
    set(HXSSC_NUMCHANNELS, 16);
    set(HXSSC_NUMSECHANNELS, 16);
    set(HXSSC_LISTSIZE, 1);
    set(HXSSC_NUMRESOLUTIONS, 1);
    set(HXSSC_DATAFLOW_CONTINUOUS, 1);
    set(HXSSC_NOTIFICATIONS, 1);
    set(HXSSC_CHANTYPE_SINGLEENDED, 1);
    const double resolutions[] = {16.0};
    const double minima[] = {-10.0}, maxima[] = {10.0};
    const double* minimaPerChannel[] = {minima};
    const double* maximaPerChannel[] = {maxima};
    const double clockLimits[] = {kBoardClockHz, 1.0, 1000.0, 10.0, 65535.0, 2.0, 1000000.0};
    hxda::PersonalityRecord personality;
    personality.capabilities = capabilities.data();
    personality.resolutions = resolutions;
    personality.rangeMinima = minimaPerChannel;
    personality.rangeMaxima = maximaPerChannel;
    personality.clockLimits = clockLimits;

    int status = 0;
    if (streamer::Load() != 0) {
        std::fprintf(stderr, "the streaming driver did not load\n");
        return 1;
    }
    HDEV hDev = 0;
    if (hxda::testing::openTestDeviceAt(streamer::kDevicePath, &hDev) != HXNOERROR) {
        std::fprintf(stderr, "the streaming device did not open\n");
        status = 1;
    }
    // First the library alone, then with the driver writing every sample as a board's would.
    for (const bool fill : {false, true}) {
        std::printf("%s\n", fill ? "driver writes the samples:" : "library alone:");
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
                if (!runCase(hDev, personality, fill, queued, samples, seconds, &figures)) {
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
    }
    hxda::testing::resetHandleTables();
    streamer::Unload();
    std::filesystem::remove_all(machine);
    return status;
}
