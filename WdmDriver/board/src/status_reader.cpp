#include "board/status_reader.h"

#include "board/protocol.h"
#include "dalayer/trace.h"
#include "framework/pool.h"

namespace board {

struct StatusReader::Read {
    StatusReader* owner;
    URB urb;
    UCHAR message[4];
};

StatusReader::StatusReader(wdm::UsbTarget& target, const wdm::UsbPipe& pipe)
    : target_(target), pipe_(pipe) {}

LONG StatusReader::Outstanding() {
    wdm::SpinLockHold hold(lock_);
    return outstanding_;
}

bool StatusReader::RemovalReported() {
    wdm::SpinLockHold hold(lock_);
    return removalReported_;
}

NTSTATUS StatusReader::Start() {
    if (!pipe_.Bound())
        return STATUS_DEVICE_NOT_CONNECTED;
    {
        wdm::SpinLockHold hold(lock_);
        stopping_ = false;
    }
    NTSTATUS status = STATUS_SUCCESS;
    for (LONG i = 0; i < kReads; ++i) {
        {
            wdm::SpinLockHold hold(lock_);
            if (outstanding_ >= kReads)
                break;
            if (outstanding_++ == 0)
                idle_.Clear();
        }
        status = Post();
        if (!NT_SUCCESS(status))
            break;
    }
    return status;
}

NTSTATUS StatusReader::PostOne() {
    if (!pipe_.Bound())
        return STATUS_DEVICE_NOT_CONNECTED;
    {
        wdm::SpinLockHold hold(lock_);
        stopping_ = false;
        if (outstanding_++ == 0)
            idle_.Clear();
    }
    return Post();
}

// Sends one read; its place among the outstanding ones is already counted.
NTSTATUS StatusReader::Post() {
    auto* read = static_cast<Read*>(wdm::PoolAllocate(NonPagedPool, sizeof(Read)));
    if (read == nullptr) {
        Retire();
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    read->owner = this;
    wdm::UsbTarget::BuildTransferUrb(pipe_, read->message, sizeof read->message, true, true,
                                     nullptr, &read->urb);
    const NTSTATUS status = target_.SubmitUrbAsync(&read->urb, Completed, read);
    return status == STATUS_PENDING ? STATUS_SUCCESS : status;
}

void StatusReader::Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* read = static_cast<Read*>(context);
    read->owner->Finished(read, irp->IoStatus.Status, read->urb.UrbHeader.Status);
}

void StatusReader::Finished(Read* read, NTSTATUS status, USBD_STATUS usbd) {
    const ULONG length = read->urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
    const USHORT type = static_cast<USHORT>(read->message[0] | (read->message[1] << 8));
    const USHORT flags = static_cast<USHORT>(read->message[2] | (read->message[3] << 8));
    wdm::PoolFree(read);

    if (NT_SUCCESS(status)) {
        bool repost = false;
        StatusRoute* route = nullptr;
        {
            wdm::SpinLockHold hold(lock_);
            repost = !stopping_;
            route = stopping_ ? nullptr : route_;
        }
        if (route != nullptr && length >= 4)
            route->Message(type, flags);
        if (returned_ != nullptr) {
            returned_(owner_, repost);
            Retire();
            return;
        }
        // This read's place goes to its successor.
        if (repost) {
            Post();
            return;
        }
        Retire();
        return;
    }

    const bool gone = status == STATUS_DEVICE_DATA_ERROR || status == STATUS_DEVICE_NOT_CONNECTED ||
                      usbd == USBD_STATUS_STALL_PID;
    const bool transactionError = status == STATUS_UNSUCCESSFUL && usbd == USBD_STATUS_XACT_ERROR;
    if (status != STATUS_CANCELLED)
        MQ5120K_TRACE("status read on pipe 0x%02X failed: 0x%08X, USB 0x%08X (%s)", kEndpointStatus,
                      static_cast<ULONG>(status), static_cast<ULONG>(usbd),
                      gone               ? "board gone"
                      : transactionError ? "transaction error"
                                         : "not replaced");
    bool tellRemoval = false;
    StatusRoute* route = nullptr;
    {
        wdm::SpinLockHold hold(lock_);
        route = route_;
        if (gone && !removalReported_) {
            removalReported_ = true;
            tellRemoval = true;
        }
    }
    if (route != nullptr && tellRemoval)
        route->DeviceRemoved();
    else if (route != nullptr && transactionError && !gone)
        route->TransactionError();
    if (returned_ != nullptr)
        returned_(owner_, false);
    Retire();
}

void StatusReader::Retire() {
    wdm::SpinLockHold hold(lock_);
    // The event is set under the lock, and Stop takes the lock once after its wait: Stop cannot
    // return while this call still touches the reader.
    if (--outstanding_ == 0)
        idle_.Set();
}

NTSTATUS StatusReader::Stop(ULONG timeoutMs) {
    {
        wdm::SpinLockHold hold(lock_);
        stopping_ = true;
    }
    // A completion that found the reader running may post its successor just after an abort, and
    // that read would wait for a message for ever: abort again until every read is back.
    constexpr ULONG kSliceMs = 50;
    NTSTATUS waited = STATUS_TIMEOUT;
    for (ULONG spentMs = 0; waited == STATUS_TIMEOUT; spentMs += kSliceMs) {
        if (timeoutMs != 0 && spentMs >= timeoutMs)
            break;
        if (pipe_.Bound())
            target_.AbortPipe(pipe_);
        waited = idle_.Wait(-static_cast<LONGLONG>(kSliceMs) * 10000);
    }
    wdm::SpinLockHold hold(lock_);
    removalReported_ = false;
    return waited == STATUS_TIMEOUT ? STATUS_IO_TIMEOUT : STATUS_SUCCESS;
}

}  // namespace board
