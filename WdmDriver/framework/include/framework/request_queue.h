// `RequestQueue`: a cancel-safe queue of requests with one current request.
//
// Queue makes a request current when none is, else appends it to the waiting list with the
// queue's cancel routine. The start operation (StartRequest) runs at DISPATCH_LEVEL without the
// queue lock for each request that becomes current. Whoever finishes the current request calls
// StartNext or CompleteCurrentAndStartNext: the next request becomes current and starts before the
// finished one is completed.
//
// Cancel safety: a waiting request carries the cancel routine; every path that takes a request
// out exchanges the routine with none first, and leaves the request alone when none comes back
// (the cancel routine runs and owns it). The cancel routine finds the queue through
// DriverContext[0]. The queue lock and the cancel spin lock are never held together.
//
// With keepCurrentCancelable the current request keeps the cancel routine too, so that a cancel
// reaches it: CancelRequest then completes it with STATUS_CANCELLED and starts the next. Paths
// that finish such a request take it back first with ClaimCurrent.
//
// Every completion by the queue also releases one busy count of the device (when one is given):
// the count the dispatch gate took stays held while the request is in the queue.
#pragma once

#include "framework/busy_counter.h"
#include "framework/locked_list.h"
#include "framework/spin_lock.h"
#include "kernel/wdm.h"

namespace wdm {

class RequestQueue {
  public:
    struct Options {
        bool cancelable = true;
        bool keepCurrentCancelable = false;
    };
    RequestQueue(BusyCounter* device, Options options);
    virtual ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Marks the request pending and queues it (or starts it); always STATUS_PENDING.
    NTSTATUS Queue(PIRP irp);
    // The head of the waiting list becomes current and starts; then `finished` (if any) is
    // completed with the boost. No busy count is released here.
    void StartNext(PIRP finished = nullptr, CCHAR boost = IO_NO_INCREMENT);
    // The current request gets the status (information only on success), the next starts, then
    // the current one completes and one busy count is released. Nothing when a cancel has taken
    // the current request (the cancel completes it).
    void CompleteCurrentAndStartNext(NTSTATUS status, ULONG_PTR information);
    // Completes with STATUS_CANCELLED every waiting request of the file (all for null) whose
    // cancel routine could be taken back. The current request is left to its owner.
    virtual void CancelAll(PFILE_OBJECT file);
    // Takes a waiting request out (its cancel routine taken back); false when it is not waiting
    // or its cancel routine owns it.
    bool RemoveWaiting(PIRP irp);
    // The current request when it can be taken back from its cancel routine (it stays current
    // and the caller now finishes it), else null: none, or a cancel has taken it.
    PIRP ClaimCurrent();

    PIRP Current();
    bool Busy();
    std::size_t WaitingCount();

  protected:
    // Runs at DISPATCH_LEVEL without the queue lock for each request that becomes current.
    virtual void StartRequest(PIRP irp) = 0;
    // Entered with the cancel spin lock held (released here at irp->CancelIrql): a waiting
    // request leaves the list and completes with STATUS_CANCELLED; a current one completes so
    // and the next starts.
    virtual void CancelRequest(PIRP irp);
    // Called under the queue lock when a request is about to start.
    virtual void BecomingCurrentLocked(PIRP irp) {}

    // Completes a request with the status and releases one busy count.
    void CompleteAndRelease(PIRP irp, NTSTATUS status, ULONG_PTR information,
                            CCHAR boost = IO_NO_INCREMENT);
    void ReleaseBusy();
    // A request this code owns (its cancel routine taken back) that was cancelled: takes the
    // cancel spin lock and hands it to CancelRequest.
    void CancelOwned(PIRP irp);
    // Under the lock: true when the current request's cancel routine came back (or it had none
    // to give because the queue keeps none on it).
    bool ClaimLocked(PIRP irp);

    SpinLock lock_;
    RequestList waiting_;
    PIRP current_ = nullptr;
    // The current request's cancel routine has taken it: only that routine may finish it.
    bool cancelOwnsCurrent_ = false;
    bool busy_ = false;

  private:
    static void CancelRoutine(PDEVICE_OBJECT device, PIRP irp);
    // With the lock held and irp current; releases the lock. routineSet: irp carried the queue's
    // cancel routine until now.
    void StartCurrentLocked(PIRP irp, bool routineSet);

    BusyCounter* device_;
    Options options_;
};

}  // namespace wdm
