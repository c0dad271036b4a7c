// `StreamInTransfers`: N bulk-in transfers kept posted on a pipe, feeding a byte ring (the A/D
// stream). Completions run at DISPATCH_LEVEL: data go into the ring under its lock, and a ring
// without room for a transfer's data is emptied and reported as one overrun per start.
//
// Destroy stops the stream and waits at PASSIVE_LEVEL until every transfer has come back before
// anything is freed.
#pragma once

#include "framework/byte_ring.h"
#include "framework/stream_transfers.h"
#include "framework/usb_transfer_set.h"

namespace wdm {

class StreamInTransfers : public TransferSet {
  public:
    static constexpr ULONG kRingBytes = 0x10000;
    static constexpr ULONG kTransfers = 8;
    static constexpr ULONG kTransferBytes = 4096;

    StreamInTransfers(StreamInOwner* owner, UsbTarget* target, UsbPipe* pipe)
        : TransferSet(target, pipe), owner_(owner) {}
    ~StreamInTransfers() { Destroy(); }

    // The ring and the records. STATUS_INSUFFICIENT_RESOURCES keeps what was made (for Destroy).
    NTSTATUS Create(ULONG ringBytes = kRingBytes, ULONG transfers = kTransfers);
    // Empties the ring and posts every transfer for min(transferSize, 4096) bytes; the first
    // failure to post is returned.
    NTSTATUS Start(ULONG transferSize);
    // Cancels the posted transfers (without waiting) and empties the ring.
    void Stop();
    // Up to `length` bytes out of the ring; *count receives how many (an empty ring leaves it as
    // it was). STATUS_UNSUCCESSFUL when there is no ring or the stream is stopping.
    NTSTATUS Read(void* destination, ULONG length, ULONG* count);
    // Stops, waits until every transfer is back, and frees the ring and the transfers.
    void Destroy();

    ByteRing& Ring() { return ring_; }
    bool OverrunReported();

  protected:
    void Completed(TransferRecord* record) override;

  private:
    void Build(TransferRecord* record);

    StreamInOwner* owner_;
    ByteRing ring_;
    ULONG transferLength_ = kTransferBytes;  // under lock_
    bool overrunReported_ = false;           // under the ring's lock
};

}  // namespace wdm
