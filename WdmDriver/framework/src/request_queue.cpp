#include "framework/request_queue.h"

#include "kernel/lockorder.h"

namespace wdm {

RequestQueue::RequestQueue(BusyCounter* device, Options options)
    : device_(device), options_(options) {
    kernel::DeclareQueueLock(lock_.Object());
}

RequestQueue::~RequestQueue() {
    kernel::ForgetQueueLock(lock_.Object());
}

void RequestQueue::ReleaseBusy() {
    if (device_ != nullptr)
        device_->ReleaseBusy();
}

void RequestQueue::CompleteAndRelease(PIRP irp, NTSTATUS status, ULONG_PTR information,
                                      CCHAR boost) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, boost);
    ReleaseBusy();
}

void RequestQueue::CancelRoutine(PDEVICE_OBJECT, PIRP irp) {
    static_cast<RequestQueue*>(irp->Tail.Overlay.DriverContext[0])->CancelRequest(irp);
}

void RequestQueue::CancelOwned(PIRP irp) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->CancelIrql = irql;
    CancelRequest(irp);
}

NTSTATUS RequestQueue::Queue(PIRP irp) {
    IoMarkIrpPending(irp);
    irp->Tail.Overlay.DriverContext[0] = this;
    lock_.Acquire();
    if (busy_) {
        waiting_.InsertTail(irp);
        if (options_.cancelable) {
            IoSetCancelRoutine(irp, CancelRoutine);
            // Cancelled before the routine was set: nobody called it; this path cancels it,
            // unless a cancel routine took it meanwhile.
            if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
                lock_.Release();
                CancelOwned(irp);
                return STATUS_PENDING;
            }
        }
        lock_.Release();
        return STATUS_PENDING;
    }
    current_ = irp;
    cancelOwnsCurrent_ = false;
    busy_ = true;
    StartCurrentLocked(irp, false);
    return STATUS_PENDING;
}

void RequestQueue::StartCurrentLocked(PIRP irp, bool routineSet) {
    if (routineSet && IoSetCancelRoutine(irp, nullptr) == nullptr) {
        // The cancel routine runs for it: it finds the request current and finishes it. Until
        // then no other path may finish it.
        cancelOwnsCurrent_ = true;
        lock_.Release();
        return;
    }
    if (options_.keepCurrentCancelable) {
        IoSetCancelRoutine(irp, CancelRoutine);
        if (irp->Cancel) {
            if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
                lock_.Release();
                CancelOwned(irp);
            } else {
                cancelOwnsCurrent_ = true;  // the cancel routine finishes it
                lock_.Release();
            }
            return;
        }
    } else if (irp->Cancel) {
        lock_.Release();
        CancelOwned(irp);
        return;
    }
    BecomingCurrentLocked(irp);
    const KIRQL callerLevel = lock_.ReleaseKeepingDispatchLevel();
    StartRequest(irp);
    if (callerLevel < DISPATCH_LEVEL)
        KeLowerIrql(callerLevel);
}

void RequestQueue::StartNext(PIRP finished, CCHAR boost) {
    lock_.Acquire();
    PIRP next = waiting_.RemoveHeadRequest();
    current_ = next;
    cancelOwnsCurrent_ = false;
    busy_ = next != nullptr;
    if (next != nullptr)
        StartCurrentLocked(next, options_.cancelable);
    else
        lock_.Release();
    if (finished != nullptr)
        IoCompleteRequest(finished, boost);
}

void RequestQueue::CompleteCurrentAndStartNext(NTSTATUS status, ULONG_PTR information) {
    lock_.Acquire();
    PIRP irp = cancelOwnsCurrent_ ? nullptr : current_;
    lock_.Release();
    if (irp == nullptr)
        return;
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    StartNext(irp, 2);
    ReleaseBusy();
}

void RequestQueue::CancelRequest(PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    lock_.Acquire();
    if (irp == current_) {
        current_ = nullptr;
        cancelOwnsCurrent_ = false;
        lock_.Release();
        irp->IoStatus.Status = STATUS_CANCELLED;
        irp->IoStatus.Information = 0;
        StartNext(irp, IO_NO_INCREMENT);
        ReleaseBusy();
        return;
    }
    if (!waiting_.Contains(irp)) {
        lock_.Release();
        return;
    }
    waiting_.Remove(irp);
    lock_.Release();
    CompleteAndRelease(irp, STATUS_CANCELLED, 0);
}

void RequestQueue::CancelAll(PFILE_OBJECT file) {
    UnlockedList taken(kIrpLinkOffset);
    lock_.Acquire();
    for (auto* irp = static_cast<PIRP>(waiting_.First()); irp != nullptr;) {
        auto* next = static_cast<PIRP>(waiting_.Next(irp));
        const bool ofFile =
            file == nullptr || IoGetCurrentIrpStackLocation(irp)->FileObject == file;
        if (ofFile && (!options_.cancelable || IoSetCancelRoutine(irp, nullptr) != nullptr)) {
            waiting_.Remove(irp);
            taken.InsertTail(irp);
        }
        irp = next;
    }
    lock_.Release();
    while (auto* irp = static_cast<PIRP>(taken.RemoveHead()))
        CompleteAndRelease(irp, STATUS_CANCELLED, 0);
}

bool RequestQueue::RemoveWaiting(PIRP irp) {
    SpinLockHold hold(lock_);
    if (!waiting_.Contains(irp))
        return false;
    if (options_.cancelable && IoSetCancelRoutine(irp, nullptr) == nullptr)
        return false;
    waiting_.Remove(irp);
    return true;
}

bool RequestQueue::ClaimLocked(PIRP irp) {
    if (cancelOwnsCurrent_)
        return false;
    if (!options_.keepCurrentCancelable)
        return true;
    return IoSetCancelRoutine(irp, nullptr) != nullptr;
}

PIRP RequestQueue::ClaimCurrent() {
    SpinLockHold hold(lock_);
    if (current_ == nullptr || !ClaimLocked(current_))
        return nullptr;
    return current_;
}

PIRP RequestQueue::Current() {
    SpinLockHold hold(lock_);
    return current_;
}

bool RequestQueue::Busy() {
    SpinLockHold hold(lock_);
    return busy_;
}

std::size_t RequestQueue::WaitingCount() {
    SpinLockHold hold(lock_);
    return waiting_.Count();
}

}  // namespace wdm
