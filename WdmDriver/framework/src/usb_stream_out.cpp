#include <cstring>

#include "framework/stream_out_transfers.h"

namespace wdm {

StreamOutTransfers::StreamOutTransfers(StreamOutOwner* owner, UsbTarget* target, UsbPipe* pipe)
    : TransferSet(target, pipe), owner_(owner) {
    ExInitializeWorkItem(&work_, WorkRoutine, this);
}

NTSTATUS StreamOutTransfers::Create(ULONG transfers) {
    return CreateRecords(transfers, kHeaderBytes + kDataBytes);
}

LONG StreamOutTransfers::State() {
    return InterlockedCompareExchange(owner_->StreamState(), 0, 0);
}

ULONG StreamOutTransfers::CompletedBytes() {
    SpinLockHold hold(lock_);
    return completed_;
}

bool StreamOutTransfers::NextChunkLocked(TransferRecord* record, bool headerOnly) {
    if (submitted_ >= total_ && !headerOnly)
        return false;
    record->chunk = source_ + submitted_;
    record->chunkLength = total_ - submitted_ < kDataBytes ? total_ - submitted_ : kDataBytes;
    submitted_ += record->chunkLength;
    record->tag = generation_;
    toPost_[(toPostHead_ + toPostCount_) % kMaxTransfers] = record;
    ++toPostCount_;
    return true;
}

void StreamOutTransfers::Fill(TransferRecord* record) {
    const ULONG count = record->chunkLength;
    std::memset(record->buffer, 0, kHeaderBytes);
    record->buffer[0] = static_cast<UCHAR>(count);
    record->buffer[1] = static_cast<UCHAR>(count >> 8);
    record->buffer[2] = static_cast<UCHAR>(count >> 16);
    record->buffer[3] = static_cast<UCHAR>(count >> 24);
    if (count > 0)
        std::memcpy(record->buffer + kHeaderBytes, record->chunk, count);
    UsbTarget::BuildTransferUrb(*pipe_, record->buffer, kHeaderBytes + count, false, false, nullptr,
                                &record->urb);
}

NTSTATUS StreamOutTransfers::PostQueued() {
    NTSTATUS first = STATUS_SUCCESS;
    lock_.Acquire();
    if (posting_) {
        lock_.Release();
        return first;
    }
    posting_ = true;
    while (toPostCount_ > 0) {
        TransferRecord* record = toPost_[toPostHead_];
        toPostHead_ = (toPostHead_ + 1) % kMaxTransfers;
        --toPostCount_;
        lock_.Release();
        Fill(record);
        const NTSTATUS status = Post(record);  // released instead when stopping
        if (!NT_SUCCESS(status) && NT_SUCCESS(first))
            first = status;
        lock_.Acquire();
    }
    posting_ = false;
    lock_.Release();
    return first;
}

NTSTATUS StreamOutTransfers::Send(const void* source, ULONG total) {
    Restart();
    {
        SpinLockHold hold(lock_);
        source_ = static_cast<const UCHAR*>(source);
        total_ = total;
        submitted_ = 0;
        completed_ = 0;
        ++generation_;
        draining_ = false;
        ended_ = false;
        endPending_ = false;
    }
    bool headerOnly = total == 0;
    for (ULONG i = 0; i < Count(); ++i) {
        TransferRecord* record = Record(i);
        if (!Take(record))
            continue;  // still out: its completion belongs to an earlier write
        bool chunk;
        {
            SpinLockHold hold(lock_);
            chunk = NextChunkLocked(record, headerOnly);
        }
        if (!chunk) {
            Release(record);
            break;
        }
        headerOnly = false;
    }
    return PostQueued();
}

void StreamOutTransfers::Stop() {
    Cancel();
}

void StreamOutTransfers::CancelTransfers() {
    lock_.Acquire();
    ++generation_;  // an end of this write still on its way is dropped
    if (OutstandingLocked() == 0) {
        lock_.Release();
        owner_->TransfersReturned();
        return;
    }
    draining_ = true;
    lock_.Release();
    Cancel();
}

void StreamOutTransfers::EndLocked(NTSTATUS status) {
    ended_ = true;
    endPending_ = false;
    NoticeLocked(NoticeKind::kWriteCompleted, status);
}

void StreamOutTransfers::RecordsIdleLocked() {
    if (endPending_ && !ended_ && !draining_)
        EndLocked(STATUS_CANCELLED);
}

void StreamOutTransfers::TransfersIdleLocked() {
    if (!draining_)
        return;
    draining_ = false;
    NoticeLocked(NoticeKind::kTransfersReturned, STATUS_CANCELLED);
}

void StreamOutTransfers::Destroy() {
    Cancel();
    FreeRecords();  // waits until every transfer is back and the work item has run
}

void StreamOutTransfers::NoticeLocked(NoticeKind kind, NTSTATUS status) {
    if (noticeCount_ == kNotices)
        return;  // cannot happen: at most one end per write and one return per cancel are due
    notices_[(noticeHead_ + noticeCount_) % kNotices] = {kind, status, generation_};
    ++noticeCount_;
    if (workQueued_)
        return;
    workQueued_ = true;
    BeginUnitLocked();
    ExQueueWorkItem(&work_, DelayedWorkQueue);
}

void StreamOutTransfers::WorkRoutine(PVOID context) {
    auto* self = static_cast<StreamOutTransfers*>(context);
    for (;;) {
        self->lock_.Acquire();
        if (self->noticeCount_ == 0) {
            self->workQueued_ = false;
            self->FinishUnitLocked();
            self->lock_.Release();  // the set may be freed from here on
            return;
        }
        const Notice notice = self->notices_[self->noticeHead_];
        self->noticeHead_ = (self->noticeHead_ + 1) % kNotices;
        --self->noticeCount_;
        const bool current = notice.generation == self->generation_;
        self->lock_.Release();
        if (notice.kind == NoticeKind::kTransfersReturned)
            self->owner_->TransfersReturned();
        else if (current && self->State() != kStreamStateDestroyed)
            self->owner_->WriteCompleted(notice.status);
    }
}

void StreamOutTransfers::Completed(TransferRecord* record) {
    Leave(record);
    const NTSTATUS status = record->irp->IoStatus.Status;
    const USBD_STATUS usbd = record->urb.UrbHeader.Status;
    const ULONG bytes = record->urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
    LONG volatile* state = owner_->StreamState();

    {
        SpinLockHold hold(lock_, true);
        if (draining_ || ended_ || record->tag != generation_) {
            hold.Unlock();
            Release(record);  // a cancelled, ended or older write: nothing more of it
            return;
        }
    }

    // A write that ends without all its bytes ends as cancelled once the last of its transfers
    // is back (RecordsIdleLocked); one of a destroyed owner ends without a word.
    auto endWhenBack = [&](LONG now) {
        if (now == kStreamStateDestroyed)
            return;
        SpinLockHold hold(lock_, true);
        endPending_ = true;
    };

    if (status == STATUS_DEVICE_NOT_CONNECTED) {
        // The device is gone: stopping, unless the owner is being destroyed.
        LONG seen = State();
        while (seen != kStreamStateDestroyed) {
            const LONG before = InterlockedCompareExchange(state, kOutStateStopping, seen);
            if (before == seen)
                break;
            seen = before;
        }
        endWhenBack(seen);
        Release(record);
        return;
    }
    if (!NT_SUCCESS(status) || usbd != USBD_STATUS_SUCCESS) {
        const LONG now = State();
        if (status == STATUS_UNSUCCESSFUL && usbd == USBD_STATUS_XACT_ERROR &&
            StreamStateRunning(now)) {
            owner_->StreamEvent(TransferEvent::kRecovery);  // the owner's recovery takes over
            Release(record);
            return;
        }
        endWhenBack(now);
        if (status == STATUS_DEVICE_DATA_ERROR)
            owner_->StreamEvent(TransferEvent::kDeviceRemoved);
        Release(record);
        return;
    }

    const LONG now = State();
    if (now >= kOutStateAborting) {
        endWhenBack(now);
        Release(record);
        return;
    }

    lock_.Acquire(true);
    completed_ += bytes > kHeaderBytes ? bytes - kHeaderBytes : 0;
    if (completed_ < total_) {
        const bool more = NextChunkLocked(record);
        lock_.Release();
        if (!more) {
            Release(record);  // the other transfers carry the rest
            return;
        }
        PostQueued();
        return;
    }
    lock_.Release();
    // The whole write has gone out.
    InterlockedCompareExchange(state, kOutStateStopHeld, kOutStateStopRequested);
    if (!(owner_->SingleBuffer() && StreamStateRunning(State()))) {
        SpinLockHold hold(lock_, true);
        EndLocked(STATUS_SUCCESS);
    }
    Release(record);
}

}  // namespace wdm
