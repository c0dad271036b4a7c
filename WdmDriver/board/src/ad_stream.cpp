// The A/D object's data path: the read queue, the 20 ms poll that fills the current read from the
// ring, flush in-process, and the stop work that stops the board and ends the reads.
#include <cstring>

#include "board/ad_subsystem.h"
#include "board/board_device.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

// The transfer sizes the board gets for a first read, by its length: the first that holds it.
constexpr ULONG kFirstTransferSizes[] = {256, 512, 768};

ULONG FirstTransferSize(ULONG length) {
    for (ULONG size : kFirstTransferSizes)
        if (length <= size)
            return size;
    return kAdTransferAtStart;
}

}  // namespace

NTSTATUS AdSubsystem::QueueDataRequest(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction != IRP_MJ_READ)
        return STATUS_INVALID_DEVICE_REQUEST;
    bool first = false;
    {
        wdm::SpinLockHold hold(lock_);
        // The board is gone: a read would wait for ever, since nothing polls or stops it.
        if (removed_)
            return STATUS_DELETE_PENDING;
        // Aborting, stopping or gone: the read comes back at once and empty.
        if (state_ == kAbortRequested || state_ == kStopping || state_ == kDestroyed)
            return STATUS_SUCCESS;
        // Stopping once the poll comes round, with nothing in process: no read begins now.
        if (state_ == kStopRequested && current_ == nullptr)
            return STATUS_CANCELLED;
        if (state_ == kIdle && current_ == nullptr) {
            state_ = kArmed;
            first = true;
        }
    }
    if (first)
        board_->Commands().SetAdTransferSize(FirstTransferSize(stack->Parameters.Read.Length));
    return reads_.Queue(irp);
}

void AdSubsystem::ReadBecameCurrent(PIRP irp) {
    UCHAR* buffer = nullptr;
    if (irp->MdlAddress != nullptr)
        buffer =
            static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    {
        wdm::SpinLockHold hold(lock_);
        current_ = irp;
        buffer_ = buffer;
        length_ = buffer != nullptr ? IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length : 0;
        filled_ = 0;
        if (state_ == kNoRead)
            state_ = kRunning;
    }
    if (buffer == nullptr)
        events_.Post(dalayer::SubsystemEvent::kEventError, 0);
}

void AdSubsystem::ArmPoll() {
    wdm::SpinLockHold hold(lock_);
    if (pollArmed_ || state_ == kIdle || state_ == kStopping || state_ == kDestroyed)
        return;
    pollArmed_ = true;
    timer_.Set(kPollDue, wdm::DpcTrampoline<AdSubsystem, &AdSubsystem::Poll>, this);
}

bool AdSubsystem::FillCurrentLocked(bool* ringFailed) {
    if (current_ == nullptr)
        return false;
    ULONG count = 0;
    if (filled_ < length_) {
        if (!NT_SUCCESS(stream_.Read(buffer_ + filled_, length_ - filled_, &count))) {
            *ringFailed = true;
            return false;
        }
    }
    filled_ += count;
    return filled_ >= length_;
}

void AdSubsystem::Poll() {
    enum class Then { kRearm, kEnd, kComplete, kStop };
    Then then = Then::kRearm;
    {
        wdm::SpinLockHold hold(lock_);
        bool ringFailed = false;
        switch (state_) {
            case kArmed:
                break;
            case kAbortRequested:
                then = Then::kStop;
                break;
            case kStopRequested:
                // The read in process fills up; without one the board stops now.
                if (current_ == nullptr || FillCurrentLocked(&ringFailed))
                    then = Then::kStop;
                break;
            case kRunning:
            case kNoRead:
                if (current_ != nullptr) {
                    if (FillCurrentLocked(&ringFailed))
                        then = Then::kComplete;
                } else if (++idleTicks_ >= kIdleTicks) {
                    then = Then::kStop;
                }
                break;
            default:
                then = Then::kEnd;
                break;
        }
        // The stream has failed (the recovery stopped it): nothing fills the read any more, so a
        // stop asked for goes ahead now; otherwise the poll ends and a later stop or abort asks
        // for the stop work itself.
        if (ringFailed)
            then = state_ == kStopRequested ? Then::kStop : Then::kEnd;
        if (then == Then::kEnd || then == Then::kStop)
            pollArmed_ = false;
    }
    switch (then) {
        case Then::kStop:
            QueueStopWork();
            return;
        case Then::kEnd:
            return;
        case Then::kComplete:
            CompleteCurrent();
            break;
        case Then::kRearm:
            break;
    }
    wdm::SpinLockHold hold(lock_);
    if (state_ == kIdle || state_ == kStopping || state_ == kDestroyed) {
        pollArmed_ = false;
        return;
    }
    timer_.Set(kPollDue, wdm::DpcTrampoline<AdSubsystem, &AdSubsystem::Poll>, this);
}

void AdSubsystem::CompleteCurrent() {
    ULONG filled;
    {
        wdm::SpinLockHold hold(lock_);
        if (current_ == nullptr)
            return;
        filled = filled_;
        current_ = nullptr;
        buffer_ = nullptr;
        length_ = filled_ = 0;
    }
    reads_.CompleteCurrentAndStartNext(STATUS_SUCCESS, filled);
    wdm::SpinLockHold hold(lock_);
    if (current_ == nullptr && state_ == kRunning) {
        state_ = kNoRead;
        idleTicks_ = 0;
    }
}

hxda::ApiStatus AdSubsystem::FlushInProcess(dalayer::DaRequest& request) {
    auto* out = static_cast<UCHAR*>(request.DirectOutput());
    wdm::SpinLockHold hold(lock_);
    if (current_ == nullptr || out == nullptr) {
        request.SetInformation(0);
        return HXNOERROR;
    }
    bool ringFailed = false;
    FillCurrentLocked(&ringFailed);
    const ULONG k = filled_ < request.OutputLength() ? filled_ : request.OutputLength();
    std::memcpy(out, buffer_, k);
    // What was not flushed moves to the start, so that the next poll appends behind it.
    std::memmove(buffer_, buffer_ + k, filled_ - k);
    filled_ -= k;
    request.SetInformation(k);
    return HXNOERROR;
}

// ---- Stopping
// -------------------------------------------------------------------------------------

bool AdSubsystem::QueueStopWork() {
    {
        wdm::SpinLockHold hold(lock_);
        if (stopAsked_ || state_ == kDestroyed)
            return false;
        stopAsked_ = true;
        // A stop work that has started already has passed the point where it looks at the
        // request: the item is queued again.
        if (stopItemQueued_)
            return true;
        stopItemQueued_ = true;
        ++worksOut_;
    }
    board_->AcquireBusy();
    IoQueueWorkItem(stopItem_, StopWorkRoutine, DelayedWorkQueue, this);
    return true;
}

void AdSubsystem::StopWorkRoutine(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<AdSubsystem*>(context);
    {
        wdm::SpinLockHold hold(self->lock_);
        self->stopItemQueued_ = false;
    }
    // A stop that ran since the request was made has done its work.
    self->StopBoard(true);
    self->WorkEnded();
}

void AdSubsystem::WorkEnded() {
    // Once the count is down, a destruction that waits for it may free this object.
    BoardDevice* board = board_;
    {
        wdm::SpinLockHold hold(lock_);
        --worksOut_;
    }
    board->ReleaseBusy();
}

void AdSubsystem::StopBoard(bool onlyIfAsked) {
    wdm::MutexHold serial(stopMutex_);
    {
        wdm::SpinLockHold hold(lock_);
        if (onlyIfAsked && !stopAsked_)
            return;
        stopAsked_ = false;
        stopRunning_ = true;
        if (state_ != kDestroyed)
            state_ = kStopping;
    }
    CommandChannel& commands = board_->Commands();
    // The board may be gone: each step is tried all the same.
    commands.AdStop();
    commands.WriteMasked(kRegRunEnables, 0, kRunAd);
    commands.WriteMasked(kRegStrobes, 0, kStrobeAdRun);
    const RegisterPair list[] = {{kRegTransferLogic1, kTransferLogicClear},
                                 {kRegTransferLogic1, kTransferLogicIdle}};
    commands.WriteList(list, std::size(list));
    stream_.Stop();
    if (!board_->Is(wdm::PnpDeviceBase::kRemoved) &&
        !board_->Is(wdm::PnpDeviceBase::kSurpriseRemoved) && board_->AdPipe().Bound())
        board_->Usb().AbortPipe(board_->AdPipe());

    PIRP current;
    ULONG filled;
    {
        wdm::SpinLockHold hold(lock_);
        current = current_;
        filled = filled_;
        current_ = nullptr;
        buffer_ = nullptr;
        length_ = filled_ = 0;
        idleTicks_ = 0;
    }
    // The waiting reads come back cancelled, then the one in process with what it holds. A read
    // that comes meanwhile finds the state stopping and returns at once.
    reads_.CancelAll(nullptr);
    if (current != nullptr)
        reads_.CompleteCurrentAndStartNext(STATUS_SUCCESS, filled);
    // A read queued while the stop began may have become current since: it ends cancelled.
    for (;;) {
        {
            wdm::SpinLockHold hold(lock_);
            if (current_ == nullptr)
                break;
            current_ = nullptr;
            buffer_ = nullptr;
            length_ = filled_ = 0;
        }
        reads_.CompleteCurrentAndStartNext(STATUS_CANCELLED, 0);
    }
    {
        wdm::SpinLockHold hold(lock_);
        if (state_ != kDestroyed)
            state_ = kIdle;
        stopRunning_ = false;
    }
    ReportRemoval();
    // Last: whoever waited for the stop finds the board idle and every read back.
    CompleteHeld();
}

void AdSubsystem::ReportRemoval() {
    {
        wdm::SpinLockHold hold(lock_);
        if (!removalToReport_)
            return;
        removalToReport_ = false;
    }
    events_.Post(dalayer::SubsystemEvent::kDeviceRemoved, 0);
}

void AdSubsystem::Hold(dalayer::DaRequest& request) {
    request.Pend();
    held_.Queue(request.Irp());
    // The stop may have ended between the decision to hold and the queueing.
    CompleteHeldIfStopped();
}

void AdSubsystem::CompleteHeldIfStopped() {
    {
        wdm::SpinLockHold hold(lock_);
        if (stopAsked_ || stopRunning_ || (state_ != kIdle && state_ != kDestroyed))
            return;
    }
    CompleteHeld();
}

void AdSubsystem::CompleteHeld() {
    // The record gets status 0; Information is the record's size.
    while (held_.PostEvent(STATUS_SUCCESS, hxda::kDriverRequestSize, [](PIRP irp) {
        static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer)->status = HXNOERROR;
    })) {
    }
}

// ---- Recovery
// -------------------------------------------------------------------------------------

void AdSubsystem::QueueRecovery() {
    // Nothing to recover on a board that is stopped or gone.
    if (!board_->Available())
        return;
    {
        wdm::SpinLockHold hold(lock_);
        if (recoveryQueued_ || state_ == kDestroyed)
            return;
        recoveryQueued_ = true;
        ++worksOut_;
    }
    board_->AcquireBusy();
    IoQueueWorkItem(recoveryItem_, RecoveryRoutine, DelayedWorkQueue, this);
}

void AdSubsystem::RecoveryRoutine(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<AdSubsystem*>(context);
    {
        // Not in the middle of a stop or start of the same stream.
        wdm::MutexHold serial(self->stopMutex_);
        self->stream_.Stop();
        self->board_->ResetPipes(self->board_->AdPipe());
    }
    // The samples lost are reported as one overrun of this start.
    bool post;
    {
        wdm::SpinLockHold hold(self->lock_);
        post = !self->overrunReported_ && self->state_ != kDestroyed;
        self->overrunReported_ = true;
        self->recoveryQueued_ = false;
    }
    if (post)
        self->events_.Post(dalayer::SubsystemEvent::kOverrun, 0);
    self->WorkEnded();
}

}  // namespace board
