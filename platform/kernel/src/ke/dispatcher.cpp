// Dispatcher objects. One dispatcher lock guards every object's signal state and wait list, as
// on the platform. A waiting thread links a wait block of its own into the object's wait list, and
// a change of the object wakes the threads of that list only.
#include <chrono>

#include "host/built_at_load.h"
#include "host/host.h"
#include "ke/dispatcher.h"
#include "kernel/ke.h"
#include "kernel/rules.h"
#include "kernel/testing.h"

namespace {

struct Dispatcher {
    kernel::host::Lock lock;
    std::size_t blocked = 0;    // threads in a wait list
    std::uint64_t wakeups = 0;  // waits woken by a change of their object
};

Dispatcher& TheDispatcher() {
    static Dispatcher dispatcher;
    return dispatcher;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheDispatcher);

// A waiting thread in its object's wait list.
struct WaitBlock {
    LIST_ENTRY link;
    kernel::host::Condition woken;
};

// Objects live in zero-filled driver memory: a wait list never initialised is empty.
PLIST_ENTRY WaitList(DISPATCHER_HEADER& header) {
    if (header.WaitListHead.Flink == nullptr)
        InitializeListHead(&header.WaitListHead);
    return &header.WaitListHead;
}

// Wakes the threads waiting on the object (dispatcher lock held); each checks it again.
void WakeWaiters(DISPATCHER_HEADER& header) {
    PLIST_ENTRY list = WaitList(header);
    for (PLIST_ENTRY entry = list->Flink; entry != list; entry = entry->Flink)
        CONTAINING_RECORD(entry, WaitBlock, link)->woken.NotifyOne();
}

bool IsSignaled(const DISPATCHER_HEADER& header) {
    if (header.Type == MutantObject)
        return kernel::ke::MutexAvailable(header);
    return header.SignalState > 0;
}

void Consume(DISPATCHER_HEADER& header) {
    if (header.Type == MutantObject)
        kernel::ke::MutexAcquire(header);
    else if (header.Type == EventSynchronizationObject || header.Type == TimerSynchronizationObject)
        header.SignalState = 0;
}

}  // namespace

namespace kernel::ke {
host::Lock& DispatcherLock() {
    return TheDispatcher().lock;
}
void NotifyDispatcherWaiters(DISPATCHER_HEADER* header) {
    WakeWaiters(*header);
}
void SetSignalState(DISPATCHER_HEADER* header, LONG state) {
    kernel::host::Guard guard(TheDispatcher().lock);
    header->SignalState = state;
    if (state > 0)
        WakeWaiters(*header);
}
LONG ReadSignalState(DISPATCHER_HEADER* header) {
    kernel::host::Guard guard(TheDispatcher().lock);
    return header->SignalState;
}
}  // namespace kernel::ke

void KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
    kernel::host::Guard guard(TheDispatcher().lock);
    event->Header.Type =
        type == SynchronizationEvent ? EventSynchronizationObject : EventNotificationObject;
    event->Header.Size = sizeof(KEVENT);
    event->Header.SignalState = state ? 1 : 0;
    InitializeListHead(&event->Header.WaitListHead);
}

LONG KeSetEvent(PRKEVENT event, KPRIORITY, BOOLEAN) {
    kernel::host::Guard guard(TheDispatcher().lock);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 1;
    WakeWaiters(event->Header);
    return previous;
}

void KeClearEvent(PRKEVENT event) {
    kernel::host::Guard guard(TheDispatcher().lock);
    event->Header.SignalState = 0;
}

LONG KeResetEvent(PRKEVENT event) {
    kernel::host::Guard guard(TheDispatcher().lock);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 0;
    return previous;
}

LONG KeReadStateEvent(PRKEVENT event) {
    kernel::host::Guard guard(TheDispatcher().lock);
    return event->Header.SignalState;
}

void KeQuerySystemTime(PLARGE_INTEGER currentTime) {
    currentTime->QuadPart = kernel::host::SystemTime100ns();
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                               PLARGE_INTEGER timeout) {
    const bool poll = timeout != nullptr && timeout->QuadPart == 0;
    if (!poll && KeGetCurrentIrql() >= DISPATCH_LEVEL)
        kernel::ReportRuleViolation("KeWaitForSingleObject at DISPATCH_LEVEL",
                                    timeout ? "with a nonzero timeout" : "without a timeout");

    // A timeout runs on the stand-ins' clock.
    bool bounded = timeout != nullptr;
    simclock::Deadline deadline = simclock::Deadline::After(simclock::Duration{0});
    if (bounded) {
        std::int64_t units = timeout->QuadPart;
        if (units > 0)
            units = -(units - kernel::host::SystemTime100ns());  // absolute -> relative
        if (units > 0)
            units = 0;  // already past
        deadline = simclock::Deadline::After(std::chrono::nanoseconds(-units * 100));
    }

    auto* header = static_cast<DISPATCHER_HEADER*>(object);
    Dispatcher& dispatcher = TheDispatcher();
    kernel::host::Guard guard(dispatcher.lock);
    if (!IsSignaled(*header)) {
        WaitBlock block;
        InsertTailList(WaitList(*header), &block.link);
        ++dispatcher.blocked;
        bool timedOut = false;
        while (!IsSignaled(*header) && !timedOut) {
            if (!bounded) {
                block.woken.Wait(guard);
                ++dispatcher.wakeups;
            } else if (block.woken.WaitUntil(guard, deadline)) {
                ++dispatcher.wakeups;
            } else {
                timedOut = !IsSignaled(*header);
            }
        }
        RemoveEntryList(&block.link);
        --dispatcher.blocked;
        if (timedOut)
            return STATUS_TIMEOUT;
    }
    Consume(*header);
    return STATUS_SUCCESS;
}

namespace kernel::testing {
std::size_t BlockedKernelWaits() {
    kernel::host::Guard guard(TheDispatcher().lock);
    return TheDispatcher().blocked;
}
std::uint64_t KernelWaitWakeups() {
    kernel::host::Guard guard(TheDispatcher().lock);
    return TheDispatcher().wakeups;
}
}  // namespace kernel::testing
