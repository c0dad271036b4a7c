// `SubsystemEventQueue`: a subsystem's pending WAITEVENT requests. The request at the head is the
// current one; an event completes it with Information 336, the event code at record offset 16 and
// the data at 20, and the next becomes current. An event with no current request is dropped. A
// cancelled request completes with STATUS_CANCELLED and 0 bytes.
#pragma once

#include "dalayer/subsystem_event.h"
#include "framework/busy_counter.h"
#include "framework/event_queue.h"
#include "kernel/wdm.h"

namespace dalayer {

class SubsystemEventQueue {
  public:
    explicit SubsystemEventQueue(wdm::BusyCounter* device) : queue_(device) {}

    // STATUS_PENDING: the request is the queue's.
    NTSTATUS Wait(PIRP irp) { return queue_.Queue(irp); }
    // Completes the current request with the event's protocol code and its data; false when none
    // waited (the event is lost) and for the driver's own events, which are not the program's.
    bool Post(SubsystemEvent event, ULONG data);
    // Completes the current request with a failure status and 0 bytes.
    bool Fail(NTSTATUS status);
    // The file's requests complete cancelled (every file's for null).
    void CancelAll(PFILE_OBJECT file) { queue_.CancelAll(file); }

    wdm::EventQueue& Queue() { return queue_; }

  private:
    wdm::EventQueue queue_;
};

}  // namespace dalayer
