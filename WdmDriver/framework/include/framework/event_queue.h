// `EventQueue`: the queue of a subsystem's event requests. The current request waits until an
// event completes it; it keeps its cancel routine, so that a cancel (of the request, of its
// thread's I/O, or the file's cleanup through CancelAll) completes it with STATUS_CANCELLED and
// lets the next one become current.
#pragma once

#include "framework/request_queue.h"

namespace wdm {

class EventQueue : public RequestQueue {
  public:
    explicit EventQueue(BusyCounter* device) : RequestQueue(device, {true, true}) {}

    // Completes the current request with an event: fill(irp) writes the event into the request
    // (for a success status), then the request completes with the status (information only on
    // success) and the next becomes current. False when there is no current request to take: the
    // event is dropped.
    template <class Fill>
    bool PostEvent(NTSTATUS status, ULONG_PTR information, Fill fill) {
        PIRP irp = ClaimCurrent();
        if (irp == nullptr)
            return false;
        if (NT_SUCCESS(status))
            fill(irp);
        CompleteCurrentAndStartNext(status, information);
        return true;
    }

    // The waiting requests of the file (all for null), and the current one when it is the file's.
    void CancelAll(PFILE_OBJECT file) override;

  protected:
    void StartRequest(PIRP) override {}
};

}  // namespace wdm
