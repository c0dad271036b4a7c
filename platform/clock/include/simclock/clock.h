// The clock of the platform stand-ins. Every time the stand-ins report (tick counts, the
// performance counter, system time), every timer they run (kernel timers, multimedia timers, the
// USB ports' transfer pacing, the simulated boards) and every timed wait follows this one clock,
// so that their readings agree. README.md beside this header explains the modes and how time
// passes in each.
//
// Three modes:
// - real (the default): the host's steady clock, except that a gap in which the whole process
//   was not running (the host descheduled it) is held: see Stalls();
// - manual (tests): the clock stands still until the test advances it; timers fire only when it
//   is advanced past their due time; timeouts of waits run on host time, so that a test cannot
//   hang on a frozen clock;
// - virtual (tests): the clock advances only when every thread of the simulation is blocked in
//   one of the clock's waits (simclock/condition.h), and then jumps to the earliest reading that
//   a wait is due at. A loaded machine runs the simulation slower, never differently.
//
// Services wait for the clock through simclock::ConditionVariable (condition.h) and run their
// threads as simclock::Thread (thread.h), so that the virtual clock knows when they are blocked.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace simclock {

using Duration = std::chrono::nanoseconds;
using HostTimePoint = std::chrono::steady_clock::time_point;

// Monotonic reading: in real mode the host steady clock shifted by the testing bias, less the
// stalls held; in manual and virtual mode the reading the test or the simulation has reached.
Duration Now();

// System time as the platform counts it: 100 ns units since 1601-01-01 UTC. It moves with Now().
std::int64_t SystemTime100ns();

bool IsManual();
bool IsVirtual();

// The host time until which a waiter sleeps for the clock to reach deadline: in real mode the
// matching host time, in manual and virtual mode never (the clock wakes its waiters itself).
HostTimePoint HostDeadline(Duration deadline);

// Host stalls held in real mode: spans in which a thread due to come back from a timed wait did not
// run for longer than kStallBound after its due reading. The clock stood still at the due reading
// plus the bound until the thread came back, for at most kStallHoldLimit per stall.
inline constexpr Duration kStallBound = std::chrono::milliseconds(10);
inline constexpr Duration kStallHoldLimit = std::chrono::seconds(1);
struct StallRecord {
    std::uint64_t count = 0;
    Duration longest{};
    Duration total{};
};
StallRecord Stalls();
// Forgets the stalls held so far (the count and longest; the reading keeps what was held), for a
// program that reports them per run.
void ResetStalls();

// Work of the simulation that is due from its start until it ends, as a wait is once its time has
// come (a bus's pass, the timer thread's expiries and their DPCs): in real mode, a host that stops
// the thread meanwhile for longer than kStallBound holds the clock as for a due wait whose thread
// has not come back. Nothing in manual or virtual mode.
class DueWork {
  public:
    DueWork();
    ~DueWork();
    DueWork(const DueWork&) = delete;
    DueWork& operator=(const DueWork&) = delete;

  private:
    void* entry_ = nullptr;
    std::int64_t key_ = 0;
};

// Calls a routine after every jump of the clock, on the thread that made the jump: an advance of
// the manual or virtual clock, a change of mode or bias. The routine must not block or change the
// clock; it typically takes its owner's lock and notifies a condition. The destructor waits for a
// call in progress.
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
// Moves a manual clock forward (refused, as a no-op, in another mode or for a negative step).
void Advance(Duration step);
// Switches to the virtual clock, from the current reading.
void UseVirtualClock();
// Back to real time; the reading continues from where the manual or virtual clock stood, never
// backwards.
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

// The host time that real mode reads, driven by hand for the lifetime of the object (tests of the
// stall rule). Only the readings follow it; waits keep sleeping on the host's steady clock.
class ManualHostClock {
  public:
    ManualHostClock();
    ~ManualHostClock();
    ManualHostClock(const ManualHostClock&) = delete;
    ManualHostClock& operator=(const ManualHostClock&) = delete;
    void Advance(Duration step);
};

// A wait due at a reading of the clock, pending for the lifetime of the object, as a timer thread
// waiting for its earliest timer is (tests of the stall rule).
class PendingDeadline {
  public:
    explicit PendingDeadline(Duration due);
    ~PendingDeadline();
    PendingDeadline(const PendingDeadline&) = delete;
    PendingDeadline& operator=(const PendingDeadline&) = delete;

  private:
    void* entry_ = nullptr;
    std::int64_t due_ = 0;
};

}  // namespace testing
}  // namespace simclock
