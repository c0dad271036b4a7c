#include "framework/usb_transfer_set.h"

#include "framework/pool.h"

namespace wdm {

TransferSet::~TransferSet() {
    FreeRecords();
}

ULONG TransferSet::Posted() {
    SpinLockHold hold(lock_);
    return static_cast<ULONG>(posted_.Count());
}

void TransferSet::UpdateIdleLocked() {
    if (OutstandingLocked() == 0 && units_ == 0)
        idle_.Set();
    else
        idle_.Clear();
}

void TransferSet::RecordBusyLocked(TransferRecord* record) {
    record->busy = true;
    ++busyRecords_;
    UpdateIdleLocked();
}

void TransferSet::RecordNotBusyLocked(TransferRecord* record) {
    record->busy = false;
    if (--busyRecords_ == 0)
        RecordsIdleLocked();
    if (OutstandingLocked() == 0)
        TransfersIdleLocked();
    UpdateIdleLocked();
}

void TransferSet::BeginUnitLocked() {
    ++units_;
    UpdateIdleLocked();
}

void TransferSet::FinishUnitLocked() {
    --units_;
    UpdateIdleLocked();
}

NTSTATUS TransferSet::CreateRecords(ULONG count, ULONG bufferLength) {
    if (count > kMaxTransfers)
        return STATUS_INVALID_PARAMETER;
    while (count_ < count) {
        auto* record =
            static_cast<TransferRecord*>(PoolAllocate(NonPagedPool, sizeof(TransferRecord)));
        if (record == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
        record->buffer = static_cast<UCHAR*>(PoolAllocate(NonPagedPool, bufferLength));
        record->irp = IoAllocateIrp(static_cast<CCHAR>(target_->StackSize() + 1), FALSE);
        if (record->buffer == nullptr || record->irp == nullptr) {
            if (record->irp != nullptr)
                IoFreeIrp(record->irp);
            PoolFree(record->buffer);
            PoolFree(record);
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        record->bufferLength = bufferLength;
        record->set = this;
        records_[count_++] = record;
    }
    return STATUS_SUCCESS;
}

void TransferSet::FreeRecords() {
    if (count_ == 0)
        return;
    WaitIdle();
    for (ULONG i = 0; i < count_; ++i) {
        IoFreeIrp(records_[i]->irp);
        PoolFree(records_[i]->buffer);
        PoolFree(records_[i]);
        records_[i] = nullptr;
    }
    count_ = 0;
}

NTSTATUS TransferSet::WaitIdle(const LONGLONG* timeout) {
    const NTSTATUS status = timeout != nullptr ? idle_.Wait(*timeout) : idle_.Wait();
    // The last completion signalled under the lock: once it is free again, nothing of ours is
    // touched any more.
    lock_.Acquire();
    lock_.Release();
    return status;
}

void TransferSet::Restart() {
    SpinLockHold hold(lock_);
    stopping_ = false;
}

bool TransferSet::Take(TransferRecord* record) {
    SpinLockHold hold(lock_);
    if (record->busy || record->cancelRefs > 0)
        return false;
    RecordBusyLocked(record);
    return true;
}

NTSTATUS TransferSet::Post(TransferRecord* record) {
    // A cancel pass may hold the request from its last post: then it is not touched.
    lock_.Acquire();
    if (stopping_ || record->cancelRefs > 0) {
        RecordNotBusyLocked(record);
        lock_.Release();
        return STATUS_CANCELLED;
    }
    lock_.Release();

    IoReuseIrp(record->irp, STATUS_SUCCESS);
    IoSetNextIrpStackLocation(record->irp);

    // Only a request in the posted list is cancelled by a pass; one that a pass missed sees the
    // stopping flag here and is never sent.
    lock_.Acquire();
    if (stopping_) {
        RecordNotBusyLocked(record);
        lock_.Release();
        return STATUS_CANCELLED;
    }
    record->posted = true;
    posted_.InsertTail(record);
    lock_.Release();
    return target_->SubmitUrbOnIrp(record->irp, &record->urb, CompletionRoutine, record);
}

NTSTATUS TransferSet::CompletionRoutine(PDEVICE_OBJECT, PIRP, PVOID context) {
    auto* record = static_cast<TransferRecord*>(context);
    record->set->Completed(record);
    return STATUS_MORE_PROCESSING_REQUIRED;  // the request is reused
}

ULONG TransferSet::Leave(TransferRecord* record) {
    SpinLockHold hold(lock_);
    if (record->posted) {
        posted_.Remove(record);
        record->posted = false;
    }
    return static_cast<ULONG>(posted_.Count());
}

void TransferSet::Release(TransferRecord* record) {
    lock_.Acquire();
    RecordNotBusyLocked(record);
    lock_.Release();
}

void TransferSet::Cancel() {
    TransferRecord* cancelling[kMaxTransfers];
    ULONG n = 0;
    lock_.Acquire();
    stopping_ = true;
    for (void* e = posted_.First(); e != nullptr; e = posted_.Next(e)) {
        auto* record = static_cast<TransferRecord*>(e);
        ++record->cancelRefs;
        cancelling[n++] = record;
    }
    ++cancelPasses_;
    UpdateIdleLocked();
    lock_.Release();

    // The cancel spin lock is taken here without ours held: a cancelled transfer may complete
    // inside IoCancelIrp.
    for (ULONG i = 0; i < n; ++i)
        IoCancelIrp(cancelling[i]->irp);

    lock_.Acquire();
    for (ULONG i = 0; i < n; ++i)
        --cancelling[i]->cancelRefs;
    --cancelPasses_;
    if (OutstandingLocked() == 0)
        TransfersIdleLocked();
    UpdateIdleLocked();
    lock_.Release();
}

}  // namespace wdm
