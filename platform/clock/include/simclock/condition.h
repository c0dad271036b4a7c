// The condition variable of the stand-ins: std::condition_variable_any's interface, with its
// timeouts on the stand-ins' clock, and the bookkeeping the virtual clock needs. A thread of the
// simulation (simclock/thread.h) counts as blocked while it waits here and as running again from
// the moment a notify or the clock lets it go, before it is even scheduled: so the virtual clock
// never jumps past a thread that is about to run.
//
// Timeouts:
// - wait_for, and wait_until a Deadline: a timeout on the clock (host time under a manual clock).
//   Under the virtual clock a wait that finds the clock standing still for kHostGuard of host time
//   gives up loudly (stderr): the simulation is stuck, and a test fails instead of hanging;
// - wait_until_reading: until the clock reads the given value (a timer's due time): in manual
//   mode only when the test advances it that far;
// - wait_until: a point of the host's steady clock (bounded host guards and heuristics).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "simclock/clock.h"

namespace simclock {

inline constexpr Duration kHostGuard = std::chrono::seconds(60);

namespace detail {

// One thread blocked in a wait.
struct Waiter {
    std::mutex mutex;
    std::condition_variable condition;
    bool participant = false;  // counted among the running threads when not blocked
    bool woken = false;        // let go (by a notify, the clock, or its own limit): running again
    bool timedOut = false;
    Waiter* previous = nullptr;  // in its condition's list
    Waiter* next = nullptr;

    // Lets the waiter go and counts it running; false when it was let go already.
    bool Wake(bool byLimit);
};

// The waiters of one condition variable, linked through themselves: the list needs no memory of
// its own, so a condition of a static object that a late thread still notifies while the process
// exits behaves as the host's condition variable does.
class WaiterList {
  public:
    void Add(Waiter* waiter);
    void Remove(Waiter* waiter);
    void WakeOne();
    void WakeAll();

  private:
    std::mutex mutex_;
    Waiter* first_ = nullptr;
};

// What a wait waits for besides a notify.
struct WaitLimit {
    enum class Kind { None, Timeout, Reading, Host };
    Kind kind = Kind::None;
    Duration reading{};    // Timeout and Reading: the reading it ends at
    HostTimePoint host{};  // Host: the deadline; Timeout: the guard under the virtual clock
};

// The lock of the caller, released for the wait and taken again after.
struct LockRef {
    void* lock;
    void (*unlock)(void*);
    void (*relock)(void*);
};

// Waits once: true when notified, false when the limit came first.
bool WaitOnce(WaiterList& list, const LockRef& lock, const WaitLimit& limit);
}  // namespace detail

// A timeout started when made: on the clock, or on the host under a manual clock. Kept across the
// rounds of a wait loop, so that notifies do not start it again.
class Deadline {
  public:
    static Deadline After(Duration length);
    template <class Rep, class Period>
    static Deadline After(const std::chrono::duration<Rep, Period>& length) {
        const auto ns = std::chrono::duration_cast<Duration>(length);
        return After(ns.count() < 0 ? Duration{0} : ns);
    }
    bool Passed() const;
    const detail::WaitLimit& Limit() const { return limit_; }

  private:
    detail::WaitLimit limit_;
};

class ConditionVariable {
  public:
    ConditionVariable() = default;
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    void notify_one();
    void notify_all();

    template <class Lock>
    void wait(Lock& lock) {
        Once(lock, {});
    }
    template <class Lock, class Predicate>
    void wait(Lock& lock, Predicate ready) {
        while (!ready())
            Once(lock, {});
    }

    template <class Lock, class Rep, class Period>
    std::cv_status wait_for(Lock& lock, const std::chrono::duration<Rep, Period>& timeout) {
        return wait_until(lock, Deadline::After(timeout));
    }
    template <class Lock, class Rep, class Period, class Predicate>
    bool wait_for(Lock& lock, const std::chrono::duration<Rep, Period>& timeout, Predicate ready) {
        return wait_until(lock, Deadline::After(timeout), std::move(ready));
    }
    template <class Lock>
    std::cv_status wait_until(Lock& lock, const Deadline& deadline) {
        return Once(lock, deadline.Limit()) ? std::cv_status::no_timeout : std::cv_status::timeout;
    }
    template <class Lock, class Predicate>
    bool wait_until(Lock& lock, const Deadline& deadline, Predicate ready) {
        while (!ready()) {
            if (!Once(lock, deadline.Limit()))
                return ready();
        }
        return true;
    }

    template <class Lock>
    std::cv_status wait_until_reading(Lock& lock, Duration reading) {
        detail::WaitLimit limit;
        limit.kind = detail::WaitLimit::Kind::Reading;
        limit.reading = reading;
        return Once(lock, limit) ? std::cv_status::no_timeout : std::cv_status::timeout;
    }

    template <class Lock>
    std::cv_status wait_until(Lock& lock, HostTimePoint deadline) {
        detail::WaitLimit limit;
        limit.kind = detail::WaitLimit::Kind::Host;
        limit.host = deadline;
        return Once(lock, limit) ? std::cv_status::no_timeout : std::cv_status::timeout;
    }
    template <class Lock, class Predicate>
    bool wait_until(Lock& lock, HostTimePoint deadline, Predicate ready) {
        while (!ready()) {
            if (wait_until(lock, deadline) == std::cv_status::timeout)
                return ready();
        }
        return true;
    }

  private:
    template <class Lock>
    bool Once(Lock& lock, const detail::WaitLimit& limit) {
        const detail::LockRef ref{&lock, [](void* l) { static_cast<Lock*>(l)->unlock(); },
                                  [](void* l) { static_cast<Lock*>(l)->lock(); }};
        return detail::WaitOnce(list_, ref, limit);
    }

    detail::WaiterList list_;
};

// Sleeps for a span of the clock (host time under a manual clock), blocked as a wait is.
void SleepFor(Duration span);

}  // namespace simclock
