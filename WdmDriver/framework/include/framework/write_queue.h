// `WriteQueue`: the D/A object's queue of write requests. The write that becomes current is
// handed to the sink (its buffer mapped to a system address, none without an MDL, and its length);
// the sink sends it in bulk transfers and, when they are done, calls CompleteCurrentWrite.
//
// A cancel of the current write (or CancelCurrent) first has the sink cancel that write's
// transfers; the write is completed with STATUS_CANCELLED, and the next one started, only when
// the sink reports that none of its transfers is posted any more (TransfersReturned). So no
// completion of a cancelled write is counted for the next one, and no transfer reads a buffer
// whose request has completed. A cancel that arrives while the sink is still being handed the
// write takes effect when that returns.
//
// Cancelling a waiting write also cancels the current one when no other write is waiting.
#pragma once

#include "framework/request_queue.h"

namespace wdm {

// The D/A object's side of the queue (its transfers).
class WriteSink {
  public:
    // Sends a write that became current; runs at DISPATCH_LEVEL and must not wait.
    virtual void SendWrite(PVOID address, ULONG length) = 0;
    // Cancels the transfers of the current write without waiting. The sink must call
    // WriteQueue::TransfersReturned exactly once afterwards, as soon as none of them is posted
    // (from inside this call when none is).
    virtual void CancelTransfers() = 0;

  protected:
    ~WriteSink() = default;
};

class WriteQueue : public RequestQueue {
  public:
    WriteQueue(BusyCounter* device, WriteSink* sink)
        : RequestQueue(device, {true, true}), sink_(sink) {}

    // The sink's end of the current write. False when a cancel has taken the write (it completes
    // as cancelled once the transfers are back).
    bool CompleteCurrentWrite(NTSTATUS status, ULONG_PTR information);
    // Cancels the current write as a cancel of the request would (abort, cancel-all).
    void CancelCurrent();
    // The sink's report after CancelTransfers.
    void TransfersReturned();

    bool Draining();

  protected:
    void StartRequest(PIRP irp) override;
    void CancelRequest(PIRP irp) override;
    void BecomingCurrentLocked(PIRP irp) override;

  private:
    // With the lock held and the current write taken from its cancel routine; releases the lock.
    void CancelTakenLocked();

    WriteSink* sink_;
    bool starting_ = false;  // the sink is being handed the current write
    bool cancelAfterStart_ = false;
    bool completeAfterStart_ = false;
    NTSTATUS deferredStatus_ = STATUS_SUCCESS;
    ULONG_PTR deferredInformation_ = 0;
    bool draining_ = false;  // the current write's transfers are being cancelled
};

}  // namespace wdm
