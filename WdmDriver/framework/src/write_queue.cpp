#include "framework/write_queue.h"

namespace wdm {

void WriteQueue::BecomingCurrentLocked(PIRP) {
    starting_ = true;
}

void WriteQueue::StartRequest(PIRP irp) {
    PVOID address = irp->MdlAddress != nullptr
                        ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)
                        : nullptr;
    sink_->SendWrite(address, IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length);

    lock_.Acquire();
    starting_ = false;
    if (completeAfterStart_) {
        completeAfterStart_ = false;
        lock_.Release();
        CompleteCurrentAndStartNext(deferredStatus_, deferredInformation_);
        return;
    }
    if (cancelAfterStart_) {
        cancelAfterStart_ = false;
        CancelTakenLocked();
        return;
    }
    lock_.Release();
}

void WriteQueue::CancelTakenLocked() {
    if (starting_) {
        cancelAfterStart_ = true;
        lock_.Release();
        return;
    }
    draining_ = true;
    lock_.Release();
    sink_->CancelTransfers();
}

void WriteQueue::TransfersReturned() {
    lock_.Acquire();
    if (!draining_) {
        lock_.Release();
        return;
    }
    draining_ = false;
    PIRP irp = current_;
    lock_.Release();
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    StartNext(irp, IO_NO_INCREMENT);
    ReleaseBusy();
}

bool WriteQueue::CompleteCurrentWrite(NTSTATUS status, ULONG_PTR information) {
    lock_.Acquire();
    if (current_ == nullptr || draining_ || !ClaimLocked(current_)) {
        lock_.Release();
        return false;
    }
    if (starting_) {
        completeAfterStart_ = true;
        deferredStatus_ = status;
        deferredInformation_ = information;
        lock_.Release();
        return true;
    }
    lock_.Release();
    CompleteCurrentAndStartNext(status, information);
    return true;
}

void WriteQueue::CancelCurrent() {
    lock_.Acquire();
    if (current_ == nullptr || draining_ || !ClaimLocked(current_)) {
        lock_.Release();
        return;
    }
    CancelTakenLocked();
}

bool WriteQueue::Draining() {
    SpinLockHold hold(lock_);
    return draining_;
}

void WriteQueue::CancelRequest(PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    lock_.Acquire();
    if (irp == current_) {
        CancelTakenLocked();  // the cancel routine took it
        return;
    }
    if (!waiting_.Contains(irp)) {
        lock_.Release();
        return;
    }
    waiting_.Remove(irp);
    // The last waiting write cancelled: the current one goes too.
    const bool cancelCurrent =
        waiting_.IsEmpty() && current_ != nullptr && !draining_ && ClaimLocked(current_);
    if (cancelCurrent)
        CancelTakenLocked();
    else
        lock_.Release();
    CompleteAndRelease(irp, STATUS_CANCELLED, 0);
}

}  // namespace wdm
