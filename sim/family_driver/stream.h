// The stream of one open subsystem file: the reads the caller queued, the pending event requests,
// and the transfer that moves samples between the reads and the board at the configured clock.
//
// Pacing: the samples due are the elapsed time on the stand-ins' clock times the rate, counted
// from the start (pauses excluded); a kernel timer wakes a DPC every millisecond to catch up, so a
// late timer delays samples but never loses or adds any. The board keeps a FIFO of 100 ms of data
// (1,024 samples at least): input samples due while no read is queued wait there, and overflow
// it as an overrun; output samples are taken from the reads into it ahead of the clock, and a
// FIFO that runs dry ends the output (wrap mode none: I/O complete) or underruns (other modes).
//
// Counters count the rising edges of their input while running (mode 700); a one-shot (702)
// reports its pulse done one clock period after the start (event done); an edge-to-edge
// measurement (705) reports the base-clock ticks of one period of its input once the second
// rising edge has come (event value), and stops.
//
// Every IRP handed to the stream is completed exactly once: by the transfer, by its cancel
// routine, or by stop, abort, reset, close or removal. A read being filled or emptied is no longer
// cancellable; it completes with the transfer's end.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "kernel/timer.h"
#include "kernel/wdm.h"
#include "sim/simulated_board.h"
#include "simclock/clock.h"

namespace sim {

// What a transfer needs of the configuration, taken at start.
struct StreamSettings {
    bool input = true;
    bool counter = false;  // a counter: no reads, events counted at the signal's frequency
    double eventFrequency = 0.0;
    std::uint16_t counterMode = 700;
    std::uint32_t baseClock = 0;  // Hz, what an edge-to-edge measurement counts
    std::uint32_t width = 2;      // bytes per sample
    double rate = 1000.0;         // conversions per second
    std::uint16_t wrapMode = 1000;
    std::uint16_t dataFlow = 800;
    std::vector<ChannelKey> channels;  // the channel list, in order
    std::vector<CodeFormat> formats;   // one per list entry
};

enum class StreamFault { kOverrun, kTrigger };

class SubsystemStream {
  public:
    // unpaced: input reads are filled as soon as they are issued while the transfer runs.
    SubsystemStream(SimulatedBoard* board, bool unpaced);
    ~SubsystemStream();
    SubsystemStream(const SubsystemStream&) = delete;
    SubsystemStream& operator=(const SubsystemStream&) = delete;

    // Dispatch: a read (input: to fill; output: to send) and an event request.
    NTSTATUS QueueRead(PIRP irp);
    NTSTATUS QueueWait(PIRP irp);

    // The start/stop family; HX status codes.
    std::uint32_t Start(const StreamSettings& settings, bool prestart);
    std::uint32_t SimultaneousStart();
    std::uint32_t Stop();
    std::uint32_t Abort();
    std::uint32_t Pause();
    std::uint32_t Continue();
    std::uint32_t Reset();
    // Events a counter has counted since its start: the rising edges of its channel 0's signal
    // (frequency x time running).
    std::uint32_t EventCount() const;
    // Copies the data gathered so far of the input read in process; bytes copied.
    ULONG Flush(void* output, ULONG length);

    // Cleanup of the file: the transfer ends and every request is cancelled.
    void Close();
    // The board is gone: one pending event request reports the removal, every other request
    // fails as on a removed device, and the board is not touched again.
    void Remove();
    // Fault injection for tests; false when no transfer runs.
    bool Inject(StreamFault fault);

  private:
    enum class Phase { kIdle, kPrestarted, kRunning, kPaused, kHalted, kRemoved };
    using Completions = std::vector<std::pair<PIRP, NTSTATUS>>;

    static KDEFERRED_ROUTINE TickRoutine;
    static DRIVER_CANCEL CancelRoutine;

    // Runs step(done) under the lock; then, outside it, `after` (pacing, which must not be touched
    // under the lock) and the completion of every request the step finished. Returns the step's
    // answer.
    template <typename Step, typename After>
    auto UnderLock(Step step, After after) {
        Completions done;
        KIRQL irql;
        KeAcquireSpinLock(&lock_, &irql);
        const auto result = step(done);
        KeReleaseSpinLock(&lock_, irql);
        after();
        CompleteAll(done);
        return result;
    }
    template <typename Step>
    auto UnderLock(Step step) {
        return UnderLock(step, [] {});
    }

    // Under the lock.
    bool EnqueueLocked(PLIST_ENTRY queue, PIRP irp);
    PIRP ClaimLocked(PLIST_ENTRY queue);
    void RaiseLocked(std::uint32_t code, std::uint32_t data, Completions& done);
    void BeginRunLocked(Completions& done);
    void AdvanceLocked(Completions& done);
    void AdvanceInputLocked(std::uint64_t due, Completions& done);
    void AdvanceOutputLocked(std::uint64_t due, Completions& done);
    void FillUnpacedLocked(Completions& done);
    // Moves FIFO samples into the reads queued, oldest first.
    void FillFromFifoLocked(Completions& done);
    void EndLocked(bool abort, Completions& done);
    void ArmTimerLocked();
    std::uint64_t DueLocked() const;
    void CounterEventLocked(Completions& done);
    std::uint32_t CountLocked() const;
    std::uint64_t FifoCapacityLocked() const;
    PIRP CurrentReadLocked();

    // Outside the lock.
    void StopPacing();
    void StopPacingIfHalted();
    static void CompleteAll(Completions& done);

    mutable KSPIN_LOCK lock_;
    LIST_ENTRY reads_;
    LIST_ENTRY waits_;
    std::deque<std::pair<std::uint32_t, std::uint32_t>> events_;  // raised, not yet asked for
    PIRP current_ = nullptr;  // the read being filled or emptied, claimed from reads_
    SimulatedBoard* board_;
    const bool unpaced_;
    Phase phase_ = Phase::kIdle;
    StreamSettings settings_;

    // Pacing.
    simclock::Duration runStart_{};
    double bootSeconds_ = 0.0;        // the board's time at the start, for the signals
    std::uint64_t dueBefore_ = 0;     // samples due when the clock last stopped
    std::uint64_t moved_ = 0;         // input: samples converted; output: samples taken
    std::deque<std::uint32_t> fifo_;  // input codes converted while no read was queued
    std::vector<std::uint32_t> scratch_;
    Completions pendingDone_;  // reads too short for one sample, met while claiming
    KTIMER timer_{};
    KDPC dpc_{};
    KEVENT idle_{};
    // A counter's one event of this start: when it is due, and what it reports.
    bool counterEventPending_ = false;
    simclock::Duration counterEventDue_{};
    std::uint32_t counterEventCode_ = 0;
    std::uint32_t counterEventData_ = 0;
    bool pacing_ = false;  // the timer's DPC keeps going
    bool armed_ = false;   // the timer is set or its DPC is due to run
};

}  // namespace sim
