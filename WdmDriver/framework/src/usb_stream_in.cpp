#include "framework/stream_in_transfers.h"

namespace wdm {

NTSTATUS StreamInTransfers::Create(ULONG ringBytes, ULONG transfers) {
    const NTSTATUS status = ring_.Allocate(ringBytes, 1);
    if (!NT_SUCCESS(status))
        return status;
    return CreateRecords(transfers, kTransferBytes);
}

void StreamInTransfers::Build(TransferRecord* record) {
    ULONG length;
    {
        SpinLockHold hold(lock_);
        length = transferLength_;
    }
    UsbTarget::BuildTransferUrb(*pipe_, record->buffer, length, true, true, nullptr, &record->urb);
}

NTSTATUS StreamInTransfers::Start(ULONG transferSize) {
    if (!ring_.Allocated() || transferSize == 0 || !pipe_->Bound())
        return STATUS_UNSUCCESSFUL;
    Restart();
    {
        SpinLockHold hold(ring_.Lock());
        ring_.Empty();
        overrunReported_ = false;
    }
    {
        SpinLockHold hold(lock_);
        transferLength_ = transferSize < kTransferBytes ? transferSize : kTransferBytes;
    }
    NTSTATUS first = STATUS_SUCCESS;
    for (ULONG i = 0; i < Count(); ++i) {
        TransferRecord* record = Record(i);
        if (!Take(record))
            continue;  // still out from an earlier start
        Build(record);
        const NTSTATUS status = Post(record);
        if (!NT_SUCCESS(status) && NT_SUCCESS(first))
            first = status;
    }
    return first;
}

void StreamInTransfers::Stop() {
    Cancel();
    SpinLockHold hold(ring_.Lock());
    ring_.Empty();
}

NTSTATUS StreamInTransfers::Read(void* destination, ULONG length, ULONG* count) {
    {
        SpinLockHold hold(lock_);
        if (!ring_.Allocated() || stopping_)
            return STATUS_UNSUCCESSFUL;
    }
    SpinLockHold hold(ring_.Lock());
    if (const ULONG read = ring_.Read(destination, length); read > 0)
        *count = read;
    return STATUS_SUCCESS;
}

bool StreamInTransfers::OverrunReported() {
    SpinLockHold hold(ring_.Lock());
    return overrunReported_;
}

void StreamInTransfers::Destroy() {
    Cancel();
    FreeRecords();  // waits until every transfer is back
    ring_.Release();
}

void StreamInTransfers::Completed(TransferRecord* record) {
    Leave(record);
    const NTSTATUS status = record->irp->IoStatus.Status;
    const USBD_STATUS usbd = record->urb.UrbHeader.Status;
    const ULONG bytes = record->urb.UrbBulkOrInterruptTransfer.TransferBufferLength;

    if (!NT_SUCCESS(status) || usbd != USBD_STATUS_SUCCESS) {
        if (status == STATUS_UNSUCCESSFUL && usbd == USBD_STATUS_XACT_ERROR) {
            if (StreamStateRunning(owner_->StreamState()))
                owner_->StreamEvent(TransferEvent::kRecovery);
        } else if (status == STATUS_DEVICE_DATA_ERROR || status == STATUS_DEVICE_NOT_CONNECTED) {
            owner_->StreamEvent(TransferEvent::kDeviceRemoved);
        }
        Release(record);  // not posted again
        return;
    }
    if (bytes == 0) {
        Release(record);  // a zero-length packet ends this transfer until the next start
        return;
    }
    bool overrun = false;
    {
        SpinLockHold hold(ring_.Lock(), true);
        if (ring_.FreeSpace() < bytes) {
            ring_.Empty();
            overrun = !overrunReported_;
            overrunReported_ = true;
        } else {
            ring_.Write(record->buffer, bytes);
        }
    }
    if (overrun)
        owner_->StreamEvent(TransferEvent::kOverrun);
    Build(record);
    Post(record);  // released instead when stopping
}

}  // namespace wdm
