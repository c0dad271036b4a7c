// The A/D object's data path: the read queue, the 20 ms poll that fills the current read from the
// ring, flush in-process, and the stop work that stops the board and ends the reads.
#include <cstring>

#include "board/ad_subsystem.h"
#include "board/board_device.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr ULONG kEventError = 0x80000003;

// The transfer size the board gets for a first read of `length` bytes.
ULONG FirstTransferSize(ULONG length) {
    return length <= 256 ? 256 : length <= 512 ? 512 : length <= 768 ? 768 : 1024;
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
        events_.Post(kEventError, 0);
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
        if (ringFailed)
            then = Then::kEnd;
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

ULONG AdSubsystem::FlushInProcess(dalayer::DaRequest& request) {
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
        if (stopQueued_ || state_ == kDestroyed)
            return false;
        stopQueued_ = true;
    }
    board_->AcquireBusy();
    IoQueueWorkItem(stopItem_, StopWorkRoutine, DelayedWorkQueue, this);
    return true;
}

void AdSubsystem::StopWorkRoutine(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<AdSubsystem*>(context);
    BoardDevice* board = self->board_;
    self->StopBoard();
    bool finish;
    {
        // Destroy decides under the lock whether it waits for nothing or leaves the rest to
        // this routine.
        wdm::SpinLockHold hold(self->lock_);
        self->stopQueued_ = false;
        finish = self->destroyPending_;
    }
    if (finish)
        self->FinishDestroy();
    board->ReleaseBusy();
}

void AdSubsystem::StopBoard() {
    wdm::MutexHold serial(stopMutex_);
    {
        wdm::SpinLockHold hold(lock_);
        if (state_ != kDestroyed)
            state_ = kStopping;
    }
    CommandChannel& commands = board_->Commands();
    // The board may be gone: each step is tried all the same.
    commands.AdStop();
    commands.WriteMasked(kRegRunEnables, 0, 0x0003);
    commands.WriteMasked(kRegStrobes, 0, 0x0020);
    const RegisterPair list[] = {{kRegTransferLogic1, 0x4002}, {kRegTransferLogic1, 2}};
    commands.WriteList(list, std::size(list));
    stream_.Stop();
    if (!board_->Is(wdm::PnpDeviceBase::kRemoved) &&
        !board_->Is(wdm::PnpDeviceBase::kSurpriseRemoved) && board_->AdPipe().Bound())
        board_->Usb().AbortPipe(board_->AdPipe());

    PIRP current;
    ULONG filled;
    {
        wdm::SpinLockHold hold(lock_);
        if (state_ != kDestroyed)
            state_ = kIdle;
        current = current_;
        filled = filled_;
        current_ = nullptr;
        buffer_ = nullptr;
        length_ = filled_ = 0;
        idleTicks_ = 0;
    }
    // The waiting reads come back cancelled, then the one in process with what it holds.
    reads_.CancelAll(nullptr);
    if (current != nullptr)
        reads_.CompleteCurrentAndStartNext(STATUS_SUCCESS, filled);
}

}  // namespace board
