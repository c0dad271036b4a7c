// What the MQ5120 streaming benchmarks share (beside their machine, bench_machine.h): the
// machine's MQ5120 boards, and continuous A/D streams of those boards through the whole stack,
// measured.
//
// Each stream opens a board's A/D, configures it for continuous input at a clock with a channel
// list of channels 0..n-1, queues its buffers and recycles each finished buffer from its
// notification procedure, on the copy thread. It counts the samples delivered and the overruns,
// and measures the delay from a read's completion in the driver (seen by the kernel stand-in's
// completion observer) to the buffer-done notification of its buffer (both on the steady clock).
// The samples the board's clock produced are counted on the stand-ins' clock, which paces the
// board: once that clock holds across host stalls, a stall is not taken for lost samples.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench_machine.h"
#include "hxdaapi32.h"

namespace bench {

// The names of the machine's MQ5120 boards, as the library enumerates them.
std::vector<std::string> Mq5120BoardNames();

// Host stalls that the stand-ins' clock absorbed: times the whole process stood still and
// simulated time held across the gap. `counted` is false while the clock does not count them.
struct HostStalls {
    bool counted = false;
    std::uint64_t count = 0;
    double longestMs = 0;
};
HostStalls HostStallsSoFar();
// "n absorbed, longest x ms", or "not counted".
std::string Describe(const HostStalls& stalls);

// The process's CPU time and the simulated boards' time in their bus calls
// (mq5120/bus_call_time.h), read together; a run's figures are the difference of two readings.
struct CpuReading {
    double processSeconds = 0;
    double boardSeconds = 0;
    std::uint64_t boardCalls = 0;
};
CpuReading ReadCpu();
CpuReading operator-(const CpuReading& after, const CpuReading& before);

struct StreamSettings {
    double clockHz = 500000.0;
    unsigned channels = 1;
    double bufferSeconds = 0.1;  // of data at the clock, all channels
    std::size_t queued = 8;
    std::uint32_t SamplesPerBuffer() const;
};

struct StreamResult {
    std::string board;
    double clock = 0;               // as the board set it
    double acquisitionSeconds = 0;  // from the start to the last buffer done, on the host
    double clockSeconds = 0;        // the same on the stand-ins' clock, which paces the board
    std::uint64_t samples = 0;
    std::uint32_t overruns = 0;
    std::uint32_t unmatched = 0;  // buffer-done without a completion seen
    std::uint64_t stallsDuring = 0;
    std::vector<double> delaysMs;
    double SamplesAtTheClock() const;  // what the board's clock produced meanwhile
    double ClockShare() const;         // samples delivered / SamplesAtTheClock()
};

// The p-quantile (nearest rank) of the values; NaN for none.
double Percentile(std::vector<double> values, double fraction);

// The streams of one run. One set at a time in a process: it owns the completion observer and
// the notification procedure's table of streams.
class StreamSet {
  public:
    explicit StreamSet(StreamSettings settings);
    // Aborts what still runs, releases every subsystem and frees the buffers.
    ~StreamSet();
    StreamSet(const StreamSet&) = delete;
    StreamSet& operator=(const StreamSet&) = delete;

    // Opens and configures the A/D of the board (a handle of hxDaInitialize) and queues its
    // buffers; false, with a message on stderr, when that fails. Every stream is added before
    // StartAll.
    bool Add(HDEV hDev, const std::string& boardName);
    // Starts every stream in turn.
    bool StartAll();
    // Waits `seconds`, or until every stream has ended by itself (an overrun ends one).
    void RunFor(double seconds);
    // Stops recycling and waits (bounded) for each queue to run dry; aborts a stream that does
    // not end. False when one had to be aborted.
    bool DrainAll();
    // Per stream, in the order added; after DrainAll.
    std::vector<StreamResult> Results() const;
    const StreamSettings& settings() const { return settings_; }

  private:
    struct Stream;
    static void CALLBACK OnNotification(UINT message, HDASS hDass, LPARAM index);
    void OnReadCompleted(const void* userBuffer, std::size_t bytes);
    void MarkEnded(Stream& stream);  // under mutex_
    bool AllEnded();                 // under mutex_

    StreamSettings settings_;
    std::vector<std::unique_ptr<Stream>> streams_;
    std::mutex mutex_;
    std::condition_variable ended_;
};

}  // namespace bench
