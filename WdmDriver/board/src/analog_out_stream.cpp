// The D/A object's data path and its passive-level work: the write queue and its sink, the end of
// each write, the board's messages, the stop work and the finish, recovery and removal.
#include <new>

#include "board/analog_out_subsystem.h"
#include "board/board_device.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

// The states the out stream reads and changes are the framework's numbers.
static_assert(static_cast<LONG>(DaState::kStopRequested) == wdm::kOutStateStopRequested);
static_assert(static_cast<LONG>(DaState::kAborting) == wdm::kOutStateAborting);
static_assert(static_cast<LONG>(DaState::kStopHeld) == wdm::kOutStateStopHeld);
static_assert(static_cast<LONG>(DaState::kStopping) == wdm::kOutStateStopping);
static_assert(static_cast<LONG>(DaState::kDestroyed) == wdm::kStreamStateDestroyed);
static_assert(static_cast<LONG>(DaState::kFirstWrite) == wdm::kStreamStateArmed);
static_assert(static_cast<LONG>(DaState::kRunning) == wdm::kStreamStateRunningLast);

AnalogOutSubsystem::AnalogOutSubsystem(BoardDevice* board, ULONG element)
    : DaSubsystem(board, HXSS_DA, element),
      board_(board),
      stream_(this, &board->Usb(), &board->DaPipe()),
      writes_(board, this),
      events_(board),
      held_(board) {
    NTSTATUS status = stream_.Create();
    workItem_ = IoAllocateWorkItem(board->DeviceObject());
    if (NT_SUCCESS(status) && workItem_ == nullptr)
        status = STATUS_INSUFFICIENT_RESOURCES;
    SetError(status);
}

AnalogOutSubsystem::~AnalogOutSubsystem() {
    if (workItem_ != nullptr)
        IoFreeWorkItem(workItem_);
}

void AnalogOutSubsystem::Destroy() {
    if (Query())
        AbortBoard();
    SetState(kDestroyed);
    {
        // The close may run on the work item's own thread (it completed the file's last
        // request): the work routine then finishes the destruction when it ends.
        wdm::SpinLockHold hold(lock_);
        if (workQueued_) {
            destroyPending_ = true;
            return;
        }
    }
    FinishDestroy();
}

void AnalogOutSubsystem::FinishDestroy() {
    stream_.Destroy();
    DaSubsystem::Destroy();
}

DaState AnalogOutSubsystem::State() {
    return static_cast<DaState>(InterlockedCompareExchange(&state_, 0, 0));
}

void AnalogOutSubsystem::SetState(DaState state) {
    InterlockedExchange(&state_, static_cast<LONG>(state));
}

bool AnalogOutSubsystem::MoveState(DaState from, DaState to) {
    return InterlockedCompareExchange(&state_, static_cast<LONG>(to), static_cast<LONG>(from)) ==
           static_cast<LONG>(from);
}

bool AnalogOutSubsystem::SingleBufferInBoard() {
    wdm::SpinLockHold hold(lock_);
    return singleBuffer_;
}

bool AnalogOutSubsystem::Query() {
    const DaState state = State();
    return state != kIdle && state != kDestroyed;
}

bool AnalogOutSubsystem::WritesIdle() {
    return writes_.Current() == nullptr && writes_.WaitingCount() == 0;
}

// ---- Writes -------------------------------------------------------------------------------------

NTSTATUS AnalogOutSubsystem::QueueDataRequest(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if ((stack->MajorFunction != IRP_MJ_READ && stack->MajorFunction != IRP_MJ_WRITE) || !Streams())
        return STATUS_INVALID_DEVICE_REQUEST;
    {
        wdm::SpinLockHold hold(lock_);
        // The board is gone: nothing would ever take the write.
        if (removed_)
            return STATUS_DELETE_PENDING;
    }
    if (State() == kIdle && WritesIdle()) {
        const NTSTATUS armed = ArmFirstWrite(stack->Parameters.Read.Length);
        if (!NT_SUCCESS(armed))
            return armed;
        MoveState(kIdle, kFirstWrite);
    }
    return writes_.Queue(irp);
}

NTSTATUS AnalogOutSubsystem::ArmFirstWrite(ULONG length) {
    const DriverOptions& options = board_->Options();
    bool single;
    {
        wdm::SpinLockHold hold(lock_);
        // A buffer the board's memory holds whole is repeated from there.
        singleBuffer_ =
            wrapMode_ == HXWRAP_SINGLE && length != 0 && (length & ~1u) <= kDaSingleBufferBytes;
        single = singleBuffer_;
        drained_ = false;
    }
    const ULONG samples = options.dacFifoSize != 0 ? options.dacFifoSize : length / 2;
    const ULONG threshold =
        kDaThresholdBase -
        (samples < kDaThresholdSamplesLimit ? samples : kDaThresholdSamplesLimit);
    CommandChannel& commands = board_->Commands();
    wdm::MutexHold control(board_->ControlMutex());
    USHORT& shadow = board_->ControlShadow();
    shadow = single ? static_cast<USHORT>(shadow | kControlDaSingleBuffer)
                    : static_cast<USHORT>(shadow & ~kControlDaSingleBuffer);
    NTSTATUS status = commands.DaArm(threshold);
    if (NT_SUCCESS(status))
        status = commands.DaArmWords(threshold);
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(kRegBoardControl, shadow);
    if (!NT_SUCCESS(status))
        MQ5120K_TRACE("D/A first write of %u bytes not armed: 0x%08X", length,
                      static_cast<ULONG>(status));
    return status;
}

void AnalogOutSubsystem::SendWrite(PVOID address, ULONG length) {
    const DaState state = State();
    bool cancel;
    {
        wdm::SpinLockHold hold(lock_);
        cancel = state == kAborting || state == kStopHeld || state >= kStopping || aborted_ ||
                 removed_ || address == nullptr;
        if (!cancel) {
            drained_ = false;  // more data goes out: the board's memory fills again
            currentLength_ = length;
        }
    }
    if (cancel) {
        // Completed once this call returns; the work then looks at what follows.
        writes_.CompleteCurrentWrite(STATUS_CANCELLED, 0);
        QueueWork(kWorkWritesBack);
        return;
    }
    const NTSTATUS status = stream_.Send(address, length);
    if (!NT_SUCCESS(status))
        MQ5120K_TRACE("D/A write of %u bytes not sent on pipe 0x%02X: 0x%08X", length, kEndpointDa,
                      static_cast<ULONG>(status));
}

void AnalogOutSubsystem::WriteCompleted(NTSTATUS status) {
    const bool aborting = State() == kAborting;
    ULONG length;
    {
        wdm::SpinLockHold hold(lock_);
        length = currentLength_;
        currentLength_ = 0;
    }
    if (aborting)
        status = STATUS_CANCELLED;
    writes_.CompleteCurrentWrite(status, NT_SUCCESS(status) ? length : 0);
    AfterWriteEnded();
}

void AnalogOutSubsystem::TransfersReturned() {
    writes_.TransfersReturned();
    QueueWork(kWorkWritesBack);
}

void AnalogOutSubsystem::AfterWriteEnded() {
    if (!WritesIdle())
        return;
    bool drained;
    bool removed;
    {
        wdm::SpinLockHold hold(lock_);
        drained = drained_;
        removed = removed_;
    }
    if (removed) {
        MoveState(kStopping, kIdle);
        ReportRemovalIfBack();
        CompleteHeld();
        return;
    }
    switch (State()) {
        case kAborting:
            QueueWork(kWorkStop);
            return;
        case kStopRequested:
        case kStopHeld:
            // The stop is done: every write is in the board, which plays its memory out.
            SetState(kStopDone);
            CompleteHeld();
            break;
        default:
            break;
    }
    if (drained)
        QueueWork(kWorkFinish);
}

void AnalogOutSubsystem::CancelAll(PFILE_OBJECT file) {
    held_.CancelAll(file);
    events_.CancelAll(file);
    writes_.CancelAll(file);
    writes_.CancelCurrent();
    // The file goes: the board stops.
    if (Query())
        AbortBoard();
}

// ---- Events from the board and the stream -------------------------------------------------------

void AnalogOutSubsystem::PostEvent(dalayer::SubsystemEvent event, ULONG data) {
    if (event == dalayer::SubsystemEvent::kDeviceRemoved) {
        bool first;
        {
            wdm::SpinLockHold hold(lock_);
            first = !removed_;
            removed_ = true;
            removalToReport_ = removalToReport_ || first;
        }
        if (first) {
            MQ5120K_TRACE("D/A %u: board removed in state %d", Element(),
                          static_cast<int>(State()));
            QueueWork(kWorkRemoval);
        }
        return;
    }
    if (State() == kIdle)
        return;  // nothing runs: a late message of the board is not for this transfer
    switch (event) {
        case dalayer::SubsystemEvent::kBoardReady:
            QueueWork(kWorkReady);
            break;
        case dalayer::SubsystemEvent::kIoComplete: {
            // Before the start the board plays nothing: the message answers an earlier abort.
            if (State() < kRunning)
                break;
            // The board's memory ran dry. With writes still to go this is either the race of the
            // last write's end with the board, or the host falling behind: the write's end
            // decides.
            if (WritesIdle()) {
                QueueWork(kWorkFinish);
                break;
            }
            wdm::SpinLockHold hold(lock_);
            drained_ = true;
            break;
        }
        case dalayer::SubsystemEvent::kUnderrun: {
            bool tell;
            {
                wdm::SpinLockHold hold(lock_);
                tell = !underrunTold_;
                underrunTold_ = true;
                aborted_ = true;
            }
            if (tell) {
                MQ5120K_TRACE("D/A %u: underrun reported by the board", Element());
                events_.Post(dalayer::SubsystemEvent::kUnderrun, 0);
            }
            break;
        }
        case dalayer::SubsystemEvent::kStreamRecovery:
            MQ5120K_TRACE("D/A %u: transaction error on pipe 0x%02X, recovering the pipes",
                          Element(), kEndpointDa);
            QueueWork(kWorkRecovery);
            break;
        default:
            events_.Post(event, data);
            break;
    }
}

// ---- Passive-level work -------------------------------------------------------------------------

void AnalogOutSubsystem::QueueWork(ULONG work) {
    {
        wdm::SpinLockHold hold(lock_);
        if (State() == kDestroyed && !destroyPending_)
            return;
        workDue_ |= work;
        if (workQueued_)
            return;
        workQueued_ = true;
    }
    board_->AcquireBusy();
    IoQueueWorkItem(workItem_, WorkRoutine, DelayedWorkQueue, this);
}

void AnalogOutSubsystem::WorkRoutine(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<AnalogOutSubsystem*>(context);
    BoardDevice* board = self->board_;
    bool finish = false;
    for (;;) {
        ULONG work;
        {
            // Destroy decides under the lock whether the object goes now or after this routine:
            // once the routine is no longer queued, nothing of the object is touched here.
            wdm::SpinLockHold hold(self->lock_);
            work = self->workDue_;
            self->workDue_ = 0;
            if (work == 0) {
                self->workQueued_ = false;
                finish = self->destroyPending_;
                break;
            }
        }
        self->RunWork(work);
    }
    if (finish)
        self->FinishDestroy();
    board->ReleaseBusy();
}

void AnalogOutSubsystem::RunWork(ULONG work) {
    wdm::MutexHold serial(workMutex_);
    if (work & kWorkRemoval)
        RemoveAfterDeviceGone();
    if (work & kWorkRecovery)
        Recover();
    if (work & kWorkReady) {
        if (!MoveState(kFirstWrite, kReady) && State() == kStartPending &&
            NT_SUCCESS(StartSequence()))
            MoveState(kStartPending, kRunning);
    }
    if (work & kWorkWritesBack)
        AfterWriteEnded();
    if (work & kWorkStop)
        StopWork();
    if (work & kWorkFinish) {
        // Only a transfer that still runs, with every write done, finishes.
        const DaState state = State();
        if (WritesIdle() && state >= kRunning && state != kDestroyed)
            Finish();
    }
}

void AnalogOutSubsystem::StopWork() {
    const DaState state = State();
    if (state == kIdle || state == kDestroyed)
        return;
    if (!MoveState(kAborting, kStopping)) {
        const RegisterPair reset[] = {{kRegDaControl, kDaControlClear},
                                      {kRegDaControl, kDaControlIdle}};
        board_->Commands().WriteList(reset, std::size(reset));
    }
    // Whatever the single-buffer flag: without the finish the subsystem would stay stopping and
    // refuse every later write.
    Finish();
}

void AnalogOutSubsystem::Finish() {
    if (State() == kIdle)
        return;
    CommandChannel& commands = board_->Commands();
    // The board may be gone: each step is tried all the same.
    commands.WriteMasked(kRegRunEnables, 0, kRunDa);
    commands.WriteMasked(kRegStrobes, 0, kStrobeDaSequence);
    {
        wdm::SpinLockHold hold(lock_);
        aborted_ = false;
        drained_ = false;
        singleBuffer_ = false;
    }
    if (State() != kDestroyed)
        SetState(kIdle);
    CompleteHeld();
    events_.Post(dalayer::SubsystemEvent::kIoComplete, 0);
}

void AnalogOutSubsystem::Recover() {
    if (!board_->Available())
        return;
    stream_.Stop();
    board_->ResetPipes(board_->DaPipe());
    bool tell;
    {
        wdm::SpinLockHold hold(lock_);
        aborted_ = true;
        tell = !underrunTold_;
        underrunTold_ = true;
    }
    // The samples lost are reported as an underrun of this start.
    if (tell)
        events_.Post(dalayer::SubsystemEvent::kUnderrun, 0);
}

void AnalogOutSubsystem::RemoveAfterDeviceGone() {
    const DaState state = State();
    if (state != kIdle && state != kDestroyed)
        SetState(kStopping);
    stream_.Stop();
    writes_.CancelAll(nullptr);
    writes_.CancelCurrent();
    CompleteHeld();
    if (WritesIdle()) {
        MoveState(kStopping, kIdle);
        ReportRemovalIfBack();
    }
}

void AnalogOutSubsystem::ReportRemovalIfBack() {
    {
        wdm::SpinLockHold hold(lock_);
        if (!removalToReport_)
            return;
        removalToReport_ = false;
    }
    events_.Post(dalayer::SubsystemEvent::kDeviceRemoved, 0);
}

// ---- Held stop ----------------------------------------------------------------------------------

void AnalogOutSubsystem::Hold(dalayer::DaRequest& request) {
    request.Pend();
    held_.Queue(request.Irp());
    // The stop may have been done between the decision to hold and the queueing.
    const DaState state = State();
    if (state == kStopDone || state == kIdle || state == kDestroyed)
        CompleteHeld();
}

void AnalogOutSubsystem::CompleteHeld() {
    while (held_.PostEvent(STATUS_SUCCESS, hxda::kDriverRequestSize, [](PIRP irp) {
        static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer)->status = HXNOERROR;
    })) {
    }
}

}  // namespace board
