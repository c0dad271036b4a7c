// `StreamOutTransfers`: N bulk-out transfers that play a caller's buffer on a pipe (the D/A
// stream). Each transfer carries one message: a 512-byte header whose first 4 bytes hold the
// count of sample bytes (u32, little-endian; the rest zero), followed by at most 3584 sample
// bytes. Send hands the first chunks to the transfers that are free; each completed transfer
// takes the next unsent chunk. The end of a write reaches the owner at PASSIVE_LEVEL through a
// work item.
//
// It is also the write queue's sink: CancelTransfers cancels the current write's transfers and
// reports TransfersReturned to the owner once all are back, so that nothing of a cancelled write
// is counted for the next one or read from its buffer afterwards.
#pragma once

#include "framework/stream_transfers.h"
#include "framework/usb_transfer_set.h"
#include "framework/write_queue.h"
#include "kernel/workitem.h"

namespace wdm {

class StreamOutTransfers : public TransferSet, public WriteSink {
  public:
    static constexpr ULONG kTransfers = 8;
    static constexpr ULONG kHeaderBytes = 512;
    static constexpr ULONG kDataBytes = 3584;

    StreamOutTransfers(StreamOutOwner* owner, UsbTarget* target, UsbPipe* pipe);
    ~StreamOutTransfers() { Destroy(); }

    NTSTATUS Create(ULONG transfers = kTransfers);
    // Plays `total` bytes from source; the first failure to post is returned. A zero-length send
    // posts one transfer that carries only the header. Only transfers that are back are used
    // (and none that a Stop on another thread is still cancelling); the others are the previous
    // write's, whose completions no longer count.
    NTSTATUS Send(const void* source, ULONG total);
    // Cancels the posted transfers without waiting; their completions end the write.
    void Stop();
    // Stops, waits until every transfer and the work item are done, and frees the transfers.
    void Destroy();

    // WriteSink.
    void SendWrite(PVOID address, ULONG length) override { Send(address, length); }
    void CancelTransfers() override;

    ULONG CompletedBytes();

  protected:
    void Completed(TransferRecord* record) override;
    void RecordsIdleLocked() override;
    void TransfersIdleLocked() override;

  private:
    enum class NoticeKind { kWriteCompleted, kTransfersReturned };
    struct Notice {
        NoticeKind kind;
        NTSTATUS status;
        ULONG generation;
    };
    static constexpr ULONG kNotices = 8;

    LONG State();
    // Under lock_: gives the record the next chunk of the current write and queues it for
    // posting, or answers false when all are submitted (a header-only message still goes when
    // `headerOnly`).
    bool NextChunkLocked(TransferRecord* record, bool headerOnly = false);
    // Fills and posts the queued records in the order their chunks were given out, unless
    // another thread is doing so already (then that one posts them). Chunks thus reach the pipe
    // in order even when completions take chunks while Send is still posting.
    NTSTATUS PostQueued();
    void Fill(TransferRecord* record);
    void NoticeLocked(NoticeKind kind, NTSTATUS status);
    // The current write's end, once.
    void EndLocked(NTSTATUS status);
    static void WorkRoutine(PVOID context);

    StreamOutOwner* owner_;
    // The current write, under lock_.
    const UCHAR* source_ = nullptr;
    ULONG total_ = 0;
    ULONG submitted_ = 0;
    ULONG completed_ = 0;
    ULONG generation_ = 0;     // per write: ends of older writes are dropped
    bool draining_ = false;    // CancelTransfers waits for the transfers to come back
    bool ended_ = false;       // the current write's end is out: none of its transfers goes again
    bool endPending_ = false;  // it ends as cancelled once its last transfer is back
    // Notices for the work item, under lock_.
    Notice notices_[kNotices] = {};
    ULONG noticeHead_ = 0;
    ULONG noticeCount_ = 0;
    bool workQueued_ = false;
    WORK_QUEUE_ITEM work_;
    // Records with a chunk, waiting to be posted in order, under lock_.
    TransferRecord* toPost_[kMaxTransfers] = {};
    ULONG toPostHead_ = 0;
    ULONG toPostCount_ = 0;
    bool posting_ = false;
};

}  // namespace wdm
