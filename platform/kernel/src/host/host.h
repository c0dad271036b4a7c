// The host layer under the kernel stand-in: the few services of the host system that the kernel's
// objects are built on (a lock, a condition, a thread, a clock). Nothing above this file uses the
// host's threading library directly, so the kernel's own code reads as kernel code. Time comes
// from the stand-ins' one clock (simclock/clock.h), shared with the user-mode services; conditions
// and threads are the clock's own (simclock/condition.h, simclock/thread.h), so that the virtual
// clock knows when the kernel's threads are blocked.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"

namespace kernel::host {

class Lock {
  public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

  private:
    friend class Condition;
    std::mutex mutex_;
};

using Guard = std::unique_lock<Lock>;

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// A condition variable over a Lock. The waits return false when their limit came first: a point
// of host time (bounds of test hooks, heuristics), a timeout on the clock, or a reading of it (a
// timer's due time).
class Condition {
  public:
    void NotifyAll() { condition_.notify_all(); }
    void NotifyOne() { condition_.notify_one(); }
    void Wait(Guard& guard) { condition_.wait(guard); }
    bool WaitUntil(Guard& guard, TimePoint deadline) {
        return condition_.wait_until(guard, deadline) == std::cv_status::no_timeout;
    }
    bool WaitUntil(Guard& guard, const simclock::Deadline& deadline) {
        return condition_.wait_until(guard, deadline) == std::cv_status::no_timeout;
    }
    bool WaitUntilReading(Guard& guard, simclock::Duration reading) {
        return condition_.wait_until_reading(guard, reading) == std::cv_status::no_timeout;
    }

  private:
    simclock::ConditionVariable condition_;
};

// A thread that is joined when its owner goes away.
class Thread {
  public:
    Thread() = default;
    explicit Thread(std::function<void()> body) : thread_(std::move(body)) {}
    Thread(Thread&&) = default;
    Thread& operator=(Thread&& other) {
        Join();
        thread_ = std::move(other.thread_);
        return *this;
    }
    ~Thread() { Join(); }
    void Join() { thread_.join(); }
    bool Running() const { return thread_.joinable(); }

  private:
    simclock::Thread thread_;
};

// A one-shot signal: Set once, Wait until set.
class Signal {
  public:
    void Set() {
        Guard guard(lock_);
        set_ = true;
        condition_.NotifyAll();
    }
    void Wait() {
        Guard guard(lock_);
        while (!set_)
            condition_.Wait(guard);
    }

  private:
    Lock lock_;
    Condition condition_;
    bool set_ = false;
};

inline TimePoint Now() {
    return Clock::now();
}

// System time as the platform counts it: 100 ns units since 1601-01-01 UTC, from the stand-ins'
// one clock (which a test may drive by hand).
inline std::int64_t SystemTime100ns() {
    return simclock::SystemTime100ns();
}

// A small nonzero token naming the calling host thread (spin lock owners, issuers).
std::uintptr_t CurrentThreadToken();

}  // namespace kernel::host
