// Several MQ5120 boards streaming their analog input at once in one process, through the whole
// stack: the library's exports and copy threads, the kernel stand-in, the board driver, the USB
// bus and the board models, each board paced at its clock. The application side recycles each
// finished buffer from its notification procedure, on the copy thread.
//
// Prints per board the samples delivered against those its clock produced, the overruns and the
// host stalls absorbed meanwhile; for the process the CPU time per second of acquisition, split
// into the time the board models spent in their bus calls (timed by the models themselves, see
// mq5120/bus_call_time.h) and the rest, and the delay from a read's completion in the driver to
// the buffer-done notification of its buffer (median and 99th percentile over every board).
//
// Usage: api_mq5120_boards_bench [--boards N] [--seconds S] [--clock HZ] [--channels C]
//                                [--buffer SECONDS] [--queued N] [--default-machine]
//   defaults: 8 boards, 60 s, 500000 Hz, 1 channel, buffers of 0.1 s, 8 queued;
//   --default-machine: the first N MQ5120 boards of the machine that MQ_MACHINE names (or the
//                      per-user default); otherwise a temporary machine of N boards, removed after.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hxdaapi32.h"
#include "mq5120_streams.h"

namespace {

// A board's inputs on the benchmark's own machine: a signal of each kind on the first channels.
constexpr const char* kBoardInputs =
    "AD0.0=sine:5:50 AD0.1=sine:2:1000:1 AD0.2=const:2.5 AD0.3=square:1:10";
constexpr const char* kBoardFamilyAndType = "MQ5120 4";

struct Options {
    unsigned boards = 8;
    double seconds = 60;
    bool defaultMachine = false;
    bench::StreamSettings stream;
};

bool ParseNumber(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value > 0;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--default-machine") {
            options->defaultMachine = true;
            continue;
        }
        double value = 0;
        if (i + 1 >= argc || !ParseNumber(argv[++i], &value))
            return false;
        if (option == "--boards")
            options->boards = static_cast<unsigned>(value);
        else if (option == "--seconds")
            options->seconds = value;
        else if (option == "--clock")
            options->stream.clockHz = value;
        else if (option == "--channels")
            options->stream.channels = static_cast<unsigned>(value);
        else if (option == "--buffer")
            options->stream.bufferSeconds = value;
        else if (option == "--queued")
            options->stream.queued = static_cast<std::size_t>(value);
        else
            return false;
    }
    return options->boards > 0 && options->stream.channels > 0 && options->stream.queued > 0 &&
           options->stream.SamplesPerBuffer() > 0;
}

std::vector<std::string> BoardListLines(const Options& options) {
    std::vector<std::string> lines;
    for (unsigned serial = 1; serial <= options.boards; ++serial)
        lines.push_back(std::string(kBoardFamilyAndType) + " " + std::to_string(serial) + " " +
                        kBoardInputs);
    return lines;
}

void PrintBoards(const std::vector<bench::StreamResult>& results, const bench::HostStalls& stalls) {
    std::printf("%-12s %12s %14s %9s %9s %9s\n", "board", "samples", "at the clock", "share",
                "overruns", "stalls");
    for (const auto& r : results) {
        std::printf("%-12s %12llu %14.0f %9.4f %9u ", r.board.c_str(),
                    static_cast<unsigned long long>(r.samples), r.SamplesAtTheClock(),
                    r.ClockShare(), r.overruns);
        if (stalls.counted)
            std::printf("%9llu\n", static_cast<unsigned long long>(r.stallsDuring));
        else
            std::printf("%9s\n", "-");
    }
}

void PrintProcess(const std::vector<bench::StreamResult>& results, const bench::CpuReading& cpu,
                  const bench::HostStalls& stalls) {
    double seconds = 0;
    std::vector<double> delays;
    std::uint32_t unmatched = 0;
    for (const auto& r : results) {
        seconds = std::max(seconds, r.acquisitionSeconds);
        delays.insert(delays.end(), r.delaysMs.begin(), r.delaysMs.end());
        unmatched += r.unmatched;
    }
    const double perSecond = seconds > 0 ? cpu.processSeconds / seconds : 0;
    const double boardPerSecond = seconds > 0 ? cpu.boardSeconds / seconds : 0;
    std::printf("process, %.1f s of acquisition\n", seconds);
    std::printf("  CPU s per s            %10.4f (%.2f %% of one core)\n", perSecond,
                perSecond * 100);
    std::printf("    in the board models  %10.4f (%.1f %%; %.0f bus calls per s)\n", boardPerSecond,
                perSecond > 0 ? 100 * boardPerSecond / perSecond : 0.0,
                seconds > 0 ? static_cast<double>(cpu.boardCalls) / seconds : 0.0);
    std::printf("    the rest             %10.4f\n", perSecond - boardPerSecond);
    std::printf("  completion -> done ms  median %.3f, p99 %.3f (%zu buffers",
                bench::Percentile(delays, 0.5), bench::Percentile(delays, 0.99), delays.size());
    if (unmatched != 0)
        std::printf(", %u without a completion seen", unmatched);
    std::printf(")\n");
    std::printf("  host stalls            %s\n", bench::Describe(stalls).c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: %s [--boards N] [--seconds S] [--clock HZ] [--channels C] "
                     "[--buffer SECONDS] [--queued N] [--default-machine]\n",
                     argv[0]);
        return 2;
    }
    const bench::BenchMachine machine("hxda-mq5120-boards-bench", BoardListLines(options),
                                      options.defaultMachine);
    std::vector<std::string> boards = bench::Mq5120BoardNames();
    if (boards.size() < options.boards) {
        std::fprintf(stderr, "the machine has %zu MQ5120 boards, not %u\n", boards.size(),
                     options.boards);
        return 1;
    }
    boards.resize(options.boards);

    int status = 0;
    std::vector<HDEV> devices;
    for (const auto& board : boards) {
        HDEV hDev = 0;
        if (hxDaInitialize(board.c_str(), &hDev) != HXNOERROR) {
            std::fprintf(stderr, "%s did not open\n", board.c_str());
            status = 1;
            break;
        }
        devices.push_back(hDev);
    }
    if (status == 0) {
        const bench::StreamSettings& s = options.stream;
        std::printf(
            "%u MQ5120 boards, continuous A/D at %.0f Hz, %u channel(s), buffers of %.3f s "
            "(%u samples), %zu queued, %.0f s\n",
            options.boards, s.clockHz, s.channels, s.bufferSeconds, s.SamplesPerBuffer(), s.queued,
            options.seconds);
        std::fflush(stdout);
        bench::StreamSet set(options.stream);
        for (std::size_t i = 0; i < devices.size() && status == 0; ++i)
            if (!set.Add(devices[i], boards[i]))
                status = 1;
        const bench::CpuReading before = bench::ReadCpu();
        if (status == 0 && set.StartAll()) {
            set.RunFor(options.seconds);
            if (!set.DrainAll())
                status = 1;
        } else {
            status = 1;
        }
        const bench::CpuReading cpu = bench::ReadCpu() - before;
        const std::vector<bench::StreamResult> results = set.Results();
        const bench::HostStalls stalls = bench::HostStallsSoFar();
        PrintBoards(results, stalls);
        PrintProcess(results, cpu, stalls);
        for (const auto& r : results)
            if (r.overruns != 0)
                status = 1;
    }
    for (HDEV hDev : devices)
        hxDaTerminate(hDev);
    return status;
}
