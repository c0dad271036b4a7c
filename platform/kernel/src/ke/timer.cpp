// Kernel timers on the stand-ins' clock: one timer thread expires the set timers in due order,
// signals them, and runs their DPCs itself once none is due, as a processor runs the DPCs its clock
// interrupt queued (a DPC running elsewhere meanwhile is left to its processor).
#include <limits>
#include <optional>

#include "host/built_at_load.h"
#include "ke/deferred.h"
#include "ke/dispatcher.h"
#include "simclock/clock.h"

namespace kernel::ke {
namespace {

std::int64_t NowNs() {
    return simclock::Now().count();
}

// The due time on the clock (ns) for a relative (negative) or absolute (positive) due time.
std::int64_t DueNs(LONGLONG dueTime, std::int64_t nowNs) {
    constexpr LONGLONG kLongest = std::numeric_limits<std::int64_t>::max() / 200;
    LONGLONG relative = dueTime < 0 ? -(dueTime + 1) + 1 : dueTime - simclock::SystemTime100ns();
    if (relative < 0)
        relative = 0;  // already past: expires at once
    if (relative > kLongest)
        relative = kLongest;
    return nowNs + relative * 100;
}

}  // namespace

TimerService& TimerService::Instance() {
    static TimerService service;
    return service;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TimerService::Instance);

// The services the timer thread calls are built first, so that they are destroyed after it.
TimerService::TimerService() {
    DpcQueue::Instance();
    DispatcherLock();
    InitializeListHead(&timers_);
}

TimerService::~TimerService() {
    {
        host::Guard guard(lock_);
        stopping_ = true;
        changed_.NotifyAll();
    }
    thread_.Join();
}

BOOLEAN TimerService::Set(KTIMER* timer, LONGLONG dueTime, LONG period, KDPC* dpc) {
    const std::int64_t due = DueNs(dueTime, NowNs());
    host::Guard guard(lock_);
    const bool wasSet = timer->Header.Inserted != 0;
    if (wasSet)
        RemoveEntryList(&timer->TimerListEntry);
    timer->DueTime.QuadPart = due;
    timer->Period = period > 0 ? period : 0;
    timer->Dpc = dpc;
    timer->Header.Inserted = 1;
    SetSignalState(&timer->Header, 0);
    InsertTailList(&timers_, &timer->TimerListEntry);
    NoteDeferredActivity();
    if (!thread_.Running())
        thread_ = host::Thread([this] { Run(); });
    // A timer due after the one the thread sleeps until is found when that one expires.
    if (due < sleepsUntil_)
        changed_.NotifyAll();
    return wasSet ? TRUE : FALSE;
}

BOOLEAN TimerService::Cancel(KTIMER* timer) {
    host::Guard guard(lock_);
    if (timer->Header.Inserted == 0)
        return FALSE;
    RemoveEntryList(&timer->TimerListEntry);
    timer->Header.Inserted = 0;
    changed_.NotifyAll();
    return TRUE;
}

bool TimerService::NothingDue() {
    const std::int64_t now = NowNs();
    host::Guard guard(lock_);
    for (LIST_ENTRY* entry = timers_.Flink; entry != &timers_; entry = entry->Flink)
        if (CONTAINING_RECORD(entry, KTIMER, TimerListEntry)->DueTime.QuadPart <= now)
            return false;
    return true;
}

std::size_t TimerService::Count() {
    host::Guard guard(lock_);
    std::size_t count = 0;
    for (LIST_ENTRY* entry = timers_.Flink; entry != &timers_; entry = entry->Flink)
        ++count;
    return count;
}

void TimerService::CancelAll() {
    host::Guard guard(lock_);
    while (!IsListEmpty(&timers_))
        CONTAINING_RECORD(RemoveHeadList(&timers_), KTIMER, TimerListEntry)->Header.Inserted = 0;
    changed_.NotifyAll();
}

void TimerService::Expire(KTIMER* timer, std::int64_t nowNs) {
    if (timer->Period > 0) {
        const std::int64_t period = static_cast<std::int64_t>(timer->Period) * 1'000'000;
        while (timer->DueTime.QuadPart <= nowNs)  // missed periods are skipped, not bunched
            timer->DueTime.QuadPart += period;
    } else {
        RemoveEntryList(&timer->TimerListEntry);
        timer->Header.Inserted = 0;
    }
    SetSignalState(&timer->Header, 1);
    if (timer->Dpc != nullptr && DpcQueue::Instance().Insert(timer->Dpc, nullptr, nullptr, false))
        expiredDpcs_.push_back(timer->Dpc);
}

void TimerService::RunExpiredDpcs(host::Guard& guard) {
    std::vector<KDPC*> dpcs;
    dpcs.swap(expiredDpcs_);
    guard.unlock();
    for (KDPC* dpc : dpcs)
        DpcQueue::Instance().RunHere(dpc);
    guard.lock();
}

void TimerService::Run() {
    // From the first expiry until the thread sleeps again its work is due: a host that stops it
    // meanwhile holds the clock (taken and ended with the lock released, as the clock's waits are).
    std::optional<simclock::DueWork> work;
    host::Guard guard(lock_);
    while (!stopping_) {
        KTIMER* earliest = nullptr;
        for (LIST_ENTRY* entry = timers_.Flink; entry != &timers_; entry = entry->Flink) {
            KTIMER* timer = CONTAINING_RECORD(entry, KTIMER, TimerListEntry);
            if (earliest == nullptr || timer->DueTime.QuadPart < earliest->DueTime.QuadPart)
                earliest = timer;
        }
        const std::int64_t now = NowNs();
        const bool sleeps = earliest == nullptr || earliest->DueTime.QuadPart > now;
        if (sleeps && !expiredDpcs_.empty()) {
            // Before sleeping, the DPCs of the timers expired; the timers may change meanwhile.
            RunExpiredDpcs(guard);
            continue;
        }
        if (sleeps == work.has_value()) {
            guard.unlock();
            if (sleeps)
                work.reset();
            else
                work.emplace();
            guard.lock();
            continue;
        }
        if (earliest == nullptr) {
            sleepsUntil_ = std::numeric_limits<std::int64_t>::max();
            changed_.Wait(guard);
            sleepsUntil_ = std::numeric_limits<std::int64_t>::min();
            continue;
        }
        if (earliest->DueTime.QuadPart > now) {
            // Woken by an earlier timer, a cancel, or when the clock reaches the due time.
            sleepsUntil_ = earliest->DueTime.QuadPart;
            changed_.WaitUntilReading(guard, simclock::Duration(earliest->DueTime.QuadPart));
            sleepsUntil_ = std::numeric_limits<std::int64_t>::min();
            continue;  // the timers or the clock may have changed meanwhile
        }
        Expire(earliest, now);
    }
}

}  // namespace kernel::ke

void KeInitializeTimer(PKTIMER timer) {
    KeInitializeTimerEx(timer, NotificationTimer);
}

void KeInitializeTimerEx(PKTIMER timer, TIMER_TYPE type) {
    timer->Header.Type =
        type == SynchronizationTimer ? TimerSynchronizationObject : TimerNotificationObject;
    timer->Header.Size = sizeof(KTIMER);
    timer->Header.Inserted = 0;
    timer->Header.SignalState = 0;
    InitializeListHead(&timer->Header.WaitListHead);
    timer->DueTime.QuadPart = 0;
    timer->TimerListEntry.Flink = timer->TimerListEntry.Blink = nullptr;
    timer->Dpc = nullptr;
    timer->Period = 0;
}

BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc) {
    return KeSetTimerEx(timer, dueTime, 0, dpc);
}

BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG period, PKDPC dpc) {
    return kernel::ke::TimerService::Instance().Set(timer, dueTime.QuadPart, period, dpc);
}

BOOLEAN KeCancelTimer(PKTIMER timer) {
    return kernel::ke::TimerService::Instance().Cancel(timer);
}

BOOLEAN KeReadStateTimer(PKTIMER timer) {
    return kernel::ke::ReadSignalState(&timer->Header) > 0 ? TRUE : FALSE;
}
