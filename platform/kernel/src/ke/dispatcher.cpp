// Dispatcher objects. One dispatcher lock and condition guard every object's signal state, as on
// the platform; waiters re-check their object after every change.
#include <chrono>

#include "host/built_at_load.h"
#include "host/host.h"
#include "ke/dispatcher.h"
#include "kernel/ke.h"
#include "kernel/rules.h"

namespace {

struct Dispatcher {
    kernel::host::Lock lock;
    kernel::host::Condition changed;
};

Dispatcher& TheDispatcher() {
    static Dispatcher dispatcher;
    return dispatcher;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheDispatcher);

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
void NotifyDispatcherWaiters() {
    TheDispatcher().changed.NotifyAll();
}
void SetSignalState(DISPATCHER_HEADER* header, LONG state) {
    Dispatcher& dispatcher = TheDispatcher();
    kernel::host::Guard guard(dispatcher.lock);
    header->SignalState = state;
    if (state > 0)
        dispatcher.changed.NotifyAll();
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
    Dispatcher& dispatcher = TheDispatcher();
    kernel::host::Guard guard(dispatcher.lock);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 1;
    dispatcher.changed.NotifyAll();
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
    while (!IsSignaled(*header)) {
        if (!bounded) {
            dispatcher.changed.Wait(guard);
        } else if (!dispatcher.changed.WaitUntil(guard, deadline) && !IsSignaled(*header)) {
            return STATUS_TIMEOUT;
        }
    }
    Consume(*header);
    return STATUS_SUCCESS;
}
