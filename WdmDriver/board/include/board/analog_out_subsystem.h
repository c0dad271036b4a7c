// `AnalogOutSubsystem`: the D/A of an MQ5120 board. Element 0 holds the four analog outputs and
// the digital output port as list channel 4; element 1 is the byte output, single values only. It
// configures the outputs, writes single values, and plays the queued write requests (the
// library's reads of a D/A file) out of the bulk-out pipe in messages of a 512-byte header and at
// most 3,584 sample bytes. The board starts only when both the start request and the board's ready
// message have come.
//
// The states (DaState), what moves between them, and the flags that may be set in each:
//
//   state            | events and where they lead                          | flags that may hold
//   -----------------+-----------------------------------------------------+--------------------
//   kIdle          0 | first write queued -> kFirstWrite                    | removed
//   kFirstWrite    1 | board ready -> kReady; start -> kStartPending        | single buffer
//   kReady         2 | start -> start sequence, kRunning                    | single buffer
//   kStartPending  3 | board ready -> start sequence, kRunning              | single buffer
//   kRunning       4 | the board's memory runs dry with no write left ->    | single buffer,
//                    | finish; stop -> kStopRequested (kStopDone with no    | drained, underrun
//                    | write in process); abort -> kAborting                | told
//   kStopRequested 5 | the write in process has gone out -> kStopHeld       | (as kRunning)
//   kAborting      6 | last write back -> stop work -> kStopping -> finish  | aborted
//   kStopHeld      7 | last write back (later ones cancelled) -> kStopDone  | drained
//   kStopDone      8 | the board's memory runs dry -> finish                | drained
//   kStopping      9 | the stop work's finish -> kIdle; the device gone     | aborted, removed
//   kDestroyed    10 | -                                                    | -
//
// The finish step stops the board's D/A (run enables and strobes cleared), tells the program
// dalayer::SubsystemEvent::kIoComplete and returns to kIdle; a later I/O-complete message of the
// board is ignored there. Any abort ends with it, so that the subsystem is idle afterwards whatever
// the wrap mode. Flags: single buffer (the board repeats one buffer from its memory: the write
// stays in process until a stop or abort), drained (the board said its memory ran dry while a write
// was still queued: the finish follows once the writes are done, unless more data went out
// meanwhile), aborted (an abort or underrun was reported since the pre-start: writes are refused),
// underrun told (dalayer::SubsystemEvent::kUnderrun posted once), removed (the board is gone: every
// write comes back, then the removal is reported once).
//
// The stream's transfer states are the framework's (wdm::TransferState): the D/A's states 5, 6,
// 7, 9 and 10 and the running range 1-4 are those numbers, which the out stream reads and changes.
// Work at passive level (board ready, finish, stop, recovery, removal) runs in one work item, one
// piece at a time under the object's mutex.
#pragma once

#include "board/protocol.h"
#include "dalayer/da_subsystem.h"
#include "dalayer/subsystem_event_queue.h"
#include "framework/event_queue.h"
#include "framework/kernel_sync.h"
#include "framework/spin_lock.h"
#include "framework/stream_out_transfers.h"
#include "framework/write_queue.h"

namespace board {

class BoardDevice;

enum class DaState : LONG {
    kIdle = 0,
    kFirstWrite = 1,
    kReady = 2,
    kStartPending = 3,
    kRunning = 4,
    kStopRequested = 5,
    kAborting = 6,
    kStopHeld = 7,
    kStopDone = 8,
    kStopping = 9,
    kDestroyed = 10,
};

class AnalogOutSubsystem : public dalayer::DaSubsystem,
                           private wdm::StreamOutOwner,
                           private wdm::WriteSink {
  public:
    using enum DaState;
    // The highest element that streams.
    static constexpr ULONG kStreamingElement = 0;

    AnalogOutSubsystem(BoardDevice* board, ULONG element);
    ~AnalogOutSubsystem() override;
    void Destroy() override;

    ULONG ListCapacity() const override { return kDaListCapacity; }
    hxda::ApiStatus Configure(dalayer::DaRequest& request) override;
    hxda::ApiStatus SetSingleValue(dalayer::DaRequest& request) override;
    hxda::ApiStatus PreStart(dalayer::DaRequest& request) override;
    hxda::ApiStatus SimultaneousStart(dalayer::DaRequest& request) override;
    hxda::ApiStatus Start(dalayer::DaRequest& request) override;
    hxda::ApiStatus Stop(dalayer::DaRequest& request) override;
    hxda::ApiStatus Abort(dalayer::DaRequest& request) override;
    hxda::ApiStatus Reset(dalayer::DaRequest& request) override;
    NTSTATUS QueueDataRequest(PIRP irp) override;
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override;
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override;
    bool Query() override;

    DaState State();
    bool SingleBufferInBoard();

  private:
    // Pieces of passive-level work, run in this order when several are due.
    enum Work : ULONG {
        kWorkRemoval = 1u << 0,
        kWorkRecovery = 1u << 1,
        kWorkReady = 1u << 2,
        kWorkWritesBack = 1u << 3,
        kWorkStop = 1u << 4,
        kWorkFinish = 1u << 5,
    };

    // wdm::StreamOutOwner.
    LONG volatile* StreamState() override { return &state_; }
    bool SingleBuffer() override { return SingleBufferInBoard(); }
    void StreamEvent(wdm::TransferEvent event) override {
        PostEvent(dalayer::SubsystemEventOf(event), 0);
    }
    void WriteCompleted(NTSTATUS status) override;
    void TransfersReturned() override;
    // wdm::WriteSink: the write that became current goes out, or comes back cancelled.
    void SendWrite(PVOID address, ULONG length) override;
    void CancelTransfers() override { stream_.CancelTransfers(); }

    void SetState(DaState state);
    // Sets the state when it is `from`; true when it was.
    bool MoveState(DaState from, DaState to);
    bool WritesIdle();
    // After a write came back: the stop, the held stop and a drained board go on.
    void AfterWriteEnded();

    // The first write after idle: the single-buffer flag, the board's threshold and register 2.
    NTSTATUS ArmFirstWrite(ULONG length);
    NTSTATUS StartSequence();
    // Stops the board's D/A now: the abort command, the transfers cancelled, the finish.
    void AbortBoard();
    void StopWork();
    // Stops the board's D/A, tells the program the transfer is complete, and returns to idle.
    void Finish();
    void Recover();
    void RemoveAfterDeviceGone();
    void ReportRemovalIfBack();

    void QueueWork(ULONG work);
    static void WorkRoutine(PDEVICE_OBJECT device, PVOID context);
    void RunWork(ULONG work);
    void FinishDestroy();
    void Hold(dalayer::DaRequest& request);
    void CompleteHeld();
    bool Streams() const { return Element() <= kStreamingElement; }

    BoardDevice* board_;
    wdm::StreamOutTransfers stream_;
    wdm::WriteQueue writes_;
    dalayer::SubsystemEventQueue events_;
    wdm::EventQueue held_;  // a stop answered pending (DelayedStopCompletion)
    PIO_WORKITEM workItem_ = nullptr;

    LONG volatile state_ = static_cast<LONG>(kIdle);
    wdm::SpinLock lock_;
    USHORT wrapMode_ = HXWRAP_NONE;  // the rest under lock_
    bool softwareTrigger_ = true;
    bool singleBuffer_ = false;
    bool aborted_ = false;
    bool underrunTold_ = false;
    bool drained_ = false;
    bool removed_ = false;
    bool removalToReport_ = false;
    ULONG currentLength_ = 0;  // the write in process
    ULONG workDue_ = 0;
    bool workQueued_ = false;
    bool destroyPending_ = false;
    wdm::KernelMutex workMutex_{1};
    wdm::KernelEvent workIdle_{NotificationEvent, true};
};

}  // namespace board
