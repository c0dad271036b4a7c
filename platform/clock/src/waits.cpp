// Waits on the clock: the condition variable, the waits due at a reading, and the virtual clock's
// jump to the earliest of them once no thread of the simulation runs.
#include <algorithm>
#include <cstdio>
#include <limits>

#include "simclock/condition.h"
#include "simclock/thread.h"
#include "state.h"

namespace simclock {
namespace detail {

bool Waiter::Wake(bool byLimit) {
    std::lock_guard guard(mutex);
    if (woken)
        return false;
    woken = true;
    timedOut = byLimit;
    if (participant)
        TheState().running.fetch_add(1);
    condition.notify_one();
    return true;
}

void WaiterList::Add(Waiter* waiter) {
    std::lock_guard guard(mutex_);
    waiter->previous = nullptr;
    waiter->next = first_;
    if (first_ != nullptr)
        first_->previous = waiter;
    first_ = waiter;
}

void WaiterList::Remove(Waiter* waiter) {
    std::lock_guard guard(mutex_);
    if (waiter->previous != nullptr)
        waiter->previous->next = waiter->next;
    else
        first_ = waiter->next;
    if (waiter->next != nullptr)
        waiter->next->previous = waiter->previous;
}

void WaiterList::WakeOne() {
    std::lock_guard guard(mutex_);
    // The longest waiting first: the list's end.
    Waiter* last = first_;
    while (last != nullptr && last->next != nullptr)
        last = last->next;
    for (Waiter* waiter = last; waiter != nullptr; waiter = waiter->previous)
        if (waiter->Wake(false))
            return;
}

void WaiterList::WakeAll() {
    std::lock_guard guard(mutex_);
    for (Waiter* waiter = first_; waiter != nullptr; waiter = waiter->next)
        waiter->Wake(false);
}

void BlockRunning() {
    if (TheState().running.fetch_sub(1) == 1)
        AdvanceIfIdle();
}

void ResumeRunning() {
    TheState().running.fetch_add(1);
}

namespace {

bool IsWoken(Waiter* waiter) {
    std::lock_guard guard(waiter->mutex);
    return waiter->woken;
}

}  // namespace

void AdvanceIfIdle() {
    State& state = TheState();
    if (state.mode.load() != Mode::Virtual || state.running.load() > 0)
        return;
    bool jumped = false;
    {
        std::lock_guard guard(state.waitsMutex);
        if (state.mode.load() != Mode::Virtual || state.running.load() > 0)
            return;
        // The earliest wait not let go yet: the clock jumps to it if it lies ahead.
        auto next = std::find_if(state.dueWaits.begin(), state.dueWaits.end(),
                                 [](const auto& entry) { return !IsWoken(entry.second); });
        if (next == state.dueWaits.end())
            return;
        if (next->first > state.virtualNs.load()) {
            state.virtualNs.store(next->first);
            jumped = true;
        }
        const std::int64_t reached = state.virtualNs.load();
        for (auto it = next; it != state.dueWaits.end() && it->first <= reached; ++it)
            it->second->Wake(true);
    }
    if (jumped) {
        std::lock_guard guard(state.subscribersMutex);
        for (auto& [id, routine] : state.subscribers)
            routine();
    }
}

std::int64_t AddDueWait(std::int64_t reading, Waiter* waiter) {
    State& state = TheState();
    const std::int64_t key = std::max(reading, ReadingNs());
    std::lock_guard guard(state.waitsMutex);
    state.dueWaits.emplace(key, waiter);
    state.earliestDueNs.store(state.dueWaits.begin()->first);
    return key;
}

void RemoveDueWait(std::int64_t reading, Waiter* waiter) {
    State& state = TheState();
    std::lock_guard guard(state.waitsMutex);
    auto [first, last] = state.dueWaits.equal_range(reading);
    for (auto it = first; it != last; ++it) {
        if (it->second == waiter) {
            state.dueWaits.erase(it);
            state.earliestDueNs.store(state.dueWaits.empty()
                                          ? std::numeric_limits<std::int64_t>::max()
                                          : state.dueWaits.begin()->first);
            return;
        }
    }
}

void PokeDueWaits() {
    State& state = TheState();
    state.jumps.fetch_add(1);
    std::lock_guard guard(state.waitsMutex);
    for (auto& [reading, waiter] : state.dueWaits) {
        std::lock_guard waiterGuard(waiter->mutex);
        waiter->condition.notify_one();
    }
}

namespace {
WaitLimit StartTimeout(Duration length) {
    WaitLimit limit;
    const HostTimePoint hostNow = std::chrono::steady_clock::now();
    if (TheState().mode.load() == Mode::Manual) {
        limit.kind = WaitLimit::Kind::Host;
        limit.host = hostNow + length;
        return limit;
    }
    limit.kind = WaitLimit::Kind::Timeout;
    limit.reading = Now() + length;
    limit.host = hostNow + kHostGuard;
    return limit;
}
}  // namespace

namespace {

thread_local bool t_participant = false;

void ReportStuck(const WaitLimit& limit) {
    std::fprintf(stderr,
                 "simclock: a wait until the reading %lld ns found the virtual clock standing "
                 "still for %lld s of host time (a thread of the simulation runs without end, or "
                 "blocks outside the clock's waits); it gives up as timed out\n",
                 static_cast<long long>(limit.reading.count()),
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::seconds>(kHostGuard).count()));
}

// Sleeps until the waiter is let go or its limit comes; true when let go by a notify.
bool Sleep(Waiter& waiter, const WaitLimit& limit) {
    State& state = TheState();
    for (;;) {
        const std::uint64_t jumps = state.jumps.load();
        HostTimePoint until = HostTimePoint::max();
        bool expired = false;
        const HostTimePoint hostNow = std::chrono::steady_clock::now();
        switch (limit.kind) {
            case WaitLimit::Kind::None:
                break;
            case WaitLimit::Kind::Host:
                expired = hostNow >= limit.host;
                until = limit.host;
                break;
            case WaitLimit::Kind::Reading:
            case WaitLimit::Kind::Timeout: {
                const Duration now = Now();
                expired = now >= limit.reading;
                if (state.mode.load() == Mode::Real) {
                    until = hostNow + (limit.reading - now);
                } else if (limit.kind == WaitLimit::Kind::Timeout &&
                           state.mode.load() == Mode::Virtual) {
                    if (hostNow >= limit.host) {
                        ReportStuck(limit);
                        expired = true;
                    }
                    until = limit.host;
                }
                break;
            }
        }
        std::unique_lock guard(waiter.mutex);
        if (waiter.woken)
            return !waiter.timedOut;
        if (expired) {
            waiter.woken = true;
            waiter.timedOut = true;
            if (waiter.participant)
                ResumeRunning();
            return false;
        }
        if (jumps != state.jumps.load())
            continue;  // the clock jumped meanwhile: look at the limit again
        if (until == HostTimePoint::max())
            waiter.condition.wait(guard);
        else
            waiter.condition.wait_until(guard, until);
    }
}

}  // namespace

bool WaitOnce(WaiterList& list, const LockRef& lock, const WaitLimit& limit) {
    Waiter waiter;
    waiter.participant = t_participant;
    const bool due =
        limit.kind == WaitLimit::Kind::Timeout || limit.kind == WaitLimit::Kind::Reading;
    // Listed while the caller's lock is held: a notify that follows a change made under that lock
    // finds the waiter.
    list.Add(&waiter);
    lock.unlock(lock.lock);
    const std::int64_t dueKey = due ? AddDueWait(limit.reading.count(), &waiter) : 0;
    if (waiter.participant)
        BlockRunning();
    else
        AdvanceIfIdle();
    const bool notified = Sleep(waiter, limit);
    if (due)
        RemoveDueWait(dueKey, &waiter);
    list.Remove(&waiter);
    lock.relock(lock.lock);
    return notified;
}

bool ThisThreadParticipates() {
    return t_participant;
}

void SetThisThreadParticipates(bool participates) {
    t_participant = participates;
}

}  // namespace detail

Deadline Deadline::After(Duration length) {
    Deadline deadline;
    deadline.limit_ = detail::StartTimeout(length);
    return deadline;
}

bool Deadline::Passed() const {
    if (limit_.kind == detail::WaitLimit::Kind::Host)
        return std::chrono::steady_clock::now() >= limit_.host;
    if (Now() >= limit_.reading)
        return true;
    // The guard of the virtual clock: a wait that gave up counts as passed.
    return IsVirtual() && std::chrono::steady_clock::now() >= limit_.host;
}

void ConditionVariable::notify_one() {
    list_.WakeOne();
}

void ConditionVariable::notify_all() {
    list_.WakeAll();
}

void SleepFor(Duration span) {
    std::mutex mutex;
    ConditionVariable condition;
    std::unique_lock guard(mutex);
    condition.wait_for(guard, span);
}

}  // namespace simclock
