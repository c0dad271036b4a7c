// The clock of the platform stand-ins. Every time the stand-ins report (tick counts, the
// performance counter, system time) and every timer they run (kernel timers, multimedia timers)
// follows this one clock, so that their readings agree.
//
// By default it is the host's steady clock. A test may switch it to manual mode: the clock then
// stands still until the test advances it, and timers fire only when it is advanced past their
// due time, deterministically. Waits with a timeout (on events, threads) keep running on real
// time in both modes, so that a test cannot hang on a frozen clock.
//
// A service that waits for a point of this clock waits on its own condition until HostDeadline()
// and subscribes (Subscription) to be woken when the clock jumps: on every advance and every
// change of mode or bias.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace simclock {

using Duration = std::chrono::nanoseconds;
using HostTimePoint = std::chrono::steady_clock::time_point;

// Monotonic reading: time since the host steady clock's epoch, shifted by the testing bias; in
// manual mode the reading the test has set.
Duration Now();

// System time as the platform counts it: 100 ns units since 1601-01-01 UTC. It moves with Now():
// in manual mode it stands still and advances with the clock.
std::int64_t SystemTime100ns();

bool IsManual();

// The host time until which a waiter sleeps for the clock to reach deadline: in real mode the
// matching host time, in manual mode never (the waiter is woken by its subscription).
HostTimePoint HostDeadline(Duration deadline);

// Calls a routine after every jump of the clock, on the thread that made the jump. The routine
// must not block or change the clock; it typically takes its owner's lock and notifies a
// condition. The destructor waits for a call in progress.
class Subscription {
  public:
    explicit Subscription(std::function<void()> onJump);
    ~Subscription();
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

  private:
    int id_;
};

namespace testing {

// Freezes the clock at its current reading.
void UseManualClock();
// Moves a manual clock forward (refused, as a no-op, in real mode or for a negative step).
void Advance(Duration step);
// Back to real time; the reading continues from where the manual clock stood, never backwards.
void UseRealClock();
// Real mode reads host steady time + bias from now on; zero removes the shift (and any shift left
// by UseRealClock). For tests that place a counter just before its wrap.
void SetBias(Duration bias);

// Manual mode for the lifetime of the object.
class ManualClock {
  public:
    ManualClock() { UseManualClock(); }
    ~ManualClock() { UseRealClock(); }
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;
    void Advance(Duration step) { testing::Advance(step); }
};

}  // namespace testing
}  // namespace simclock
