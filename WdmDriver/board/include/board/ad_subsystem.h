// `AdSubsystem`: the A/D element of an MQ5120 board. It applies a configuration block to the
// board's registers, converts single values, and streams samples from the bulk-in pipe (eight
// transfers into a 64 KB ring) into the queued read requests: a 20 ms poll moves what the ring
// holds into the current read and completes it when full.
//
// The board stops in a work item at passive level (the stop work); it completes the current read
// with what it holds and every waiting read cancelled. The states (AdState), what moves between
// them, and the flags that may be set in each:
//
//   state             | events and where they lead                       | flags that may hold
//   ------------------+--------------------------------------------------+----------------------
//   kIdle           0 | first read queued -> kArmed; close -> kDestroyed | removed
//   kArmed          1 | start -> kRunning (a read in process) or kNoRead; | removed, recovery
//                     | stop, abort -> kStopping at once                 |
//   kRunning        4 | read full, none behind it -> kNoRead;            | poll, overrun,
//                     | stop -> kStopRequested; abort -> kAbortRequested;| recovery, removed,
//                     | removal -> stop work                             | stop asked
//   kStopRequested  5 | read in process full (or none) -> stop work      | poll, stop asked, ...
//   kAbortRequested 6 | next poll -> stop work                           | poll, stop asked, ...
//   kNoRead         7 | read queued -> kRunning; 100 polls (2 s) or      | poll, overrun,
//                     | abort -> stop work; stop -> kStopRequested       | recovery, removed
//   kStopping       9 | the stop work's end -> kIdle (kDestroyed when    | stop running
//                     | closed meanwhile)                                |
//   kDestroyed     10 | -                                                | -
//
// The stop work (from kStopRequested, kAbortRequested, kNoRead, kArmed or on removal) passes
// through kStopping to kIdle. Flags: poll (pollArmed_: the 20 ms timer is set or runs), overrun
// (reported once per start), recovery (the pipes' recovery is queued), removed (the board is gone;
// its removal is reported once every read is back), stop asked (the stop work is wanted and has
// not begun), stop running (the stop work runs).
//
// A stop or abort request is held (pending) while the board is sure to stop without waiting for
// data: an abort of a running board, a stop with no read in process, either while a stop is under
// way. It completes with status 0 once the board has stopped and every read is back, so that a
// caller waiting for it finds the subsystem idle. A stop of a board still filling its read in
// process answers at once: the board stops when the read is full, however long that takes. A
// held request can be cancelled; the cleanup of its file and the removal end it too.
//
// A transaction error on the A/D pipe while streaming queues the recovery work: the stream stops,
// the command, reply, A/D and status pipes are reset, the status reads posted again, and one
// overrun is reported. The board keeps its state until a stop or abort, which then needs no poll.
#pragma once

#include <atomic>

#include "board/ad_program.h"
#include "dalayer/da_subsystem.h"
#include "dalayer/subsystem_event_queue.h"
#include "framework/event_queue.h"
#include "framework/kernel_sync.h"
#include "framework/kernel_timer.h"
#include "framework/request_queue.h"
#include "framework/spin_lock.h"
#include "framework/stream_in_transfers.h"

namespace board {

class BoardDevice;

enum class AdState : LONG {
    kIdle = 0,
    kArmed = 1,
    kRunning = 4,
    kStopRequested = 5,
    kAbortRequested = 6,
    kNoRead = 7,
    kStopping = 9,
    kDestroyed = 10,
};

class AdSubsystem : public dalayer::DaSubsystem, private wdm::StreamInOwner {
  public:
    using enum AdState;
    // Polls in state 7 before the board is stopped (2 s without a read).
    static constexpr ULONG kIdleTicks = 100;
    static constexpr LONGLONG kPollMs = 20;
    static constexpr LONGLONG kPollDue = -kPollMs * wdm::kMillisecond100ns;

    AdSubsystem(BoardDevice* board, ULONG element);
    ~AdSubsystem() override;
    void Destroy() override;

    ULONG ListCapacity() const override { return kAdListCapacity; }
    hxda::ApiStatus Configure(dalayer::DaRequest& request) override;
    hxda::ApiStatus GetSingleValue(dalayer::DaRequest& request) override;
    hxda::ApiStatus PreStart(dalayer::DaRequest& request) override;
    hxda::ApiStatus SimultaneousStart(dalayer::DaRequest& request) override;
    hxda::ApiStatus Start(dalayer::DaRequest& request) override;
    hxda::ApiStatus Stop(dalayer::DaRequest& request) override;
    hxda::ApiStatus Abort(dalayer::DaRequest& request) override;
    hxda::ApiStatus Reset(dalayer::DaRequest& request) override;
    hxda::ApiStatus FlushInProcess(dalayer::DaRequest& request) override;
    NTSTATUS QueueDataRequest(PIRP irp) override;
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override;
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override;
    bool Query() override;

    AdState State();

  private:
    class ReadQueue : public wdm::RequestQueue {
      public:
        ReadQueue(wdm::BusyCounter* device, AdSubsystem* owner)
            : RequestQueue(device, {true, false}), owner_(owner) {}

      protected:
        void StartRequest(PIRP irp) override { owner_->ReadBecameCurrent(irp); }

      private:
        AdSubsystem* owner_;
    };

    // wdm::StreamInOwner
    // The in stream raises the recovery only while armed or running with a read.
    wdm::TransferState StreamState() override;
    void StreamEvent(wdm::TransferEvent event) override {
        PostEvent(dalayer::SubsystemEventOf(event), 0);
    }

    void ReadBecameCurrent(PIRP irp);
    void Poll();
    // Under lock_: copies from the ring into the current read; true when it is full.
    bool FillCurrentLocked(bool* ringFailed);
    // Completes the current read with its bytes (the next becomes current).
    void CompleteCurrent();
    // Asks for the stop work; false when a stop is asked for already or the object is going.
    bool QueueStopWork();
    static void StopWorkRoutine(PDEVICE_OBJECT device, PVOID context);
    // Queues the recovery work after a transaction error on the A/D pipe, once.
    void QueueRecovery();
    static void RecoveryRoutine(PDEVICE_OBJECT device, PVOID context);
    // A work routine ends (the destruction waits for every one).
    void WorkEnded();
    // Stops the board, completes the reads and the held requests and returns to idle. Passive
    // level. onlyIfAsked: nothing when no stop is asked for (another stop has done it).
    void StopBoard(bool onlyIfAsked = false);
    // Holds a stop or abort request until the board has stopped.
    void Hold(dalayer::DaRequest& request);
    // Completes the held requests with status 0 while no stop is under way.
    void CompleteHeldIfStopped();
    void CompleteHeld();
    // Posts the removal to the program once, if it is still to be reported.
    void ReportRemoval();
    void ArmPoll();
    hxda::ApiStatus LoadList();
    void PostOverrunOnce();

    BoardDevice* board_;
    AdProgram program_;
    wdm::StreamInTransfers stream_;
    ReadQueue reads_;
    dalayer::SubsystemEventQueue events_;
    wdm::EventQueue held_;  // stop and abort requests waiting for the board to stop
    wdm::KernelTimer timer_;
    PIO_WORKITEM stopItem_ = nullptr;
    PIO_WORKITEM recoveryItem_ = nullptr;

    wdm::SpinLock lock_;
    AdState state_ = kIdle;    // under lock_
    PIRP current_ = nullptr;   // under lock_
    UCHAR* buffer_ = nullptr;  // the current read's buffer
    ULONG length_ = 0;         // its length
    ULONG filled_ = 0;         // bytes in it
    ULONG idleTicks_ = 0;      // polls in state 7
    bool overrunReported_ = false;
    // The board is gone: its removal is reported once, and no read is taken any more.
    bool removed_ = false;
    // The removal is to be reported by the stop work, once every read is back.
    bool removalToReport_ = false;
    bool pollArmed_ = false;       // the timer is set or its routine runs
    bool stopAsked_ = false;       // a stop is asked for and no stop has begun since
    bool stopItemQueued_ = false;  // the stop work is queued and has not started
    bool stopRunning_ = false;     // a stop is between its start and its held requests
    bool recoveryQueued_ = false;  // the recovery work is queued or runs
    ULONG worksOut_ = 0;           // work routines queued or running
    wdm::KernelMutex stopMutex_{1};
};

}  // namespace board
