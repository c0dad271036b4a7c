// `KernelTimer`: a kernel timer with its deferred routine (DPC). Due times follow the kernel:
// negative is relative in 100 ns units, positive absolute system time. The routine runs at
// DISPATCH_LEVEL and may set the timer again. Cancel does not wait for a routine that has started
// already; owners allow for one late run.
//
// DpcTrampoline and WorkItemTrampoline turn an object's method into the plain routine the kernel
// calls, with the object as its context. CallbackWorkItem is a work-queue item whose worker calls
// callback(record, userData).
#pragma once

#include "kernel/wdm.h"

namespace wdm {

inline constexpr LONGLONG kMillisecond100ns = 10'000;

class KernelTimer {
  public:
    KernelTimer() {
        KeInitializeTimer(&timer_);
        RtlZeroMemory(&dpc_, sizeof(dpc_));
    }
    // Cancels the timer.
    ~KernelTimer() { Cancel(); }
    KernelTimer(const KernelTimer&) = delete;
    KernelTimer& operator=(const KernelTimer&) = delete;

    // With the deferred routine given last (none before: the timer only signals). Each returns
    // whether the timer was set already.
    bool Set(LONGLONG dueTime) { return SetTimer(dueTime, 0); }
    bool SetPeriodic(LONGLONG dueTime, LONG periodMs) { return SetTimer(dueTime, periodMs); }
    bool Set(LONGLONG dueTime, PKDEFERRED_ROUTINE routine, PVOID context) {
        KeInitializeDpc(&dpc_, routine, context);
        hasDpc_ = true;
        return SetTimer(dueTime, 0);
    }
    bool SetPeriodic(LONGLONG dueTime, LONG periodMs, PKDEFERRED_ROUTINE routine, PVOID context) {
        KeInitializeDpc(&dpc_, routine, context);
        hasDpc_ = true;
        return SetTimer(dueTime, periodMs);
    }
    // True when the timer was set.
    bool Cancel() { return KeCancelTimer(&timer_) != FALSE; }
    bool IsSignalled() { return KeReadStateTimer(&timer_) != FALSE; }
    PKTIMER Object() { return &timer_; }

  private:
    bool SetTimer(LONGLONG dueTime, LONG periodMs) {
        LARGE_INTEGER due;
        due.QuadPart = dueTime;
        return KeSetTimerEx(&timer_, due, periodMs, hasDpc_ ? &dpc_ : nullptr) != FALSE;
    }

    KTIMER timer_;
    KDPC dpc_;
    bool hasDpc_ = false;
};

// The deferred routine that calls (object->*Method)() for the object given as its context.
template <class T, void (T::*Method)()>
void DpcTrampoline(PKDPC, PVOID context, PVOID, PVOID) {
    (static_cast<T*>(context)->*Method)();
}

// The I/O work item routine that calls (object->*Method)() for the object given as its context.
template <class T, void (T::*Method)()>
void WorkItemTrampoline(PDEVICE_OBJECT, PVOID context) {
    (static_cast<T*>(context)->*Method)();
}

// A work-queue item whose worker calls callback(record, userData) at PASSIVE_LEVEL.
struct CallbackWorkItem {
    using Callback = void (*)(CallbackWorkItem* record, PVOID userData);

    WORK_QUEUE_ITEM item;
    Callback callback;
    PVOID userData;

    void Initialize(Callback routine, PVOID data) {
        callback = routine;
        userData = data;
        ExInitializeWorkItem(&item, Worker, this);
    }
    void Queue() { ExQueueWorkItem(&item, DelayedWorkQueue); }

  private:
    static void Worker(PVOID parameter) {
        auto* record = static_cast<CallbackWorkItem*>(parameter);
        record->callback(record, record->userData);
    }
};

}  // namespace wdm
