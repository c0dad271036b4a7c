// The clock's state, shared by its parts: the readings of each mode, the threads of the simulation
// that run, the waits that are due at a reading, and the stalls held.
//
// Locks: a caller's lock is held only while its waiter joins the condition's list (the list's lock,
// then a Waiter's own); State::waitsMutex is taken with no other lock held and holds only Waiters'
// own locks (leaves); State::stallMutex is a leaf taken from any reading of the clock.
// State::mutex serialises the mode changes. No lock of the clock is held while a subscriber is
// called.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

#include "simclock/clock.h"
#include "simclock/condition.h"

namespace simclock::detail {

enum class Mode { Real, Manual, Virtual };

struct State {
    std::mutex mutex;  // serialises the setters
    std::atomic<Mode> mode{Mode::Real};
    std::atomic<std::int64_t> manualNs{0};        // the reading in manual mode
    std::atomic<std::int64_t> virtualNs{0};       // the reading in virtual mode
    std::atomic<std::int64_t> biasNs{0};          // added to the host time in real mode
    std::atomic<std::int64_t> heldNs{0};          // host stalls held, taken off in real mode
    std::atomic<std::int64_t> lastReturnedNs{0};  // real readings never go back
    // System time minus steady time, taken once, so that system time moves with Now().
    std::int64_t wallOffsetNs = 0;

    // A host clock driven by a test (ManualHostClock).
    std::atomic<bool> manualHost{false};
    std::atomic<std::int64_t> manualHostNs{0};

    // Threads of the simulation that are not blocked in a wait of the clock.
    std::atomic<int> running{0};

    // Waits due at a reading, by that reading; and the jumps of the clock (mode changes, advances)
    // that make every timed waiter look at its limit again.
    std::mutex waitsMutex;
    std::multimap<std::int64_t, Waiter*> dueWaits;
    // The earliest reading in dueWaits (none: the largest), for the stall rule without waitsMutex.
    std::atomic<std::int64_t> earliestDueNs{std::numeric_limits<std::int64_t>::max()};
    std::atomic<std::uint64_t> jumps{0};

    std::mutex stallMutex;
    StallRecord stalls;                // under stallMutex
    std::atomic<bool> holding{false};  // the latest reading found an overdue wait and held
    std::int64_t stallHeldNs = 0;      // what the stall going on has held, under stallMutex

    std::mutex subscribersMutex;  // held while the subscribers are called
    std::map<int, std::function<void()>> subscribers;
    int nextId = 1;

    State();
};

// Never destroyed: services of other libraries may still read the clock or wait while the
// process's statics are destroyed.
State& TheState();

std::int64_t HostNs();
std::int64_t ReadingNs();

// The calling thread of the simulation blocks (its count goes) or comes back by itself.
void BlockRunning();
void ResumeRunning();
// Under the virtual clock, with no thread of the simulation running: jumps to the earliest reading
// a wait is due at and lets those waits go.
void AdvanceIfIdle();

// A wait due at a reading joins or leaves the waits the virtual clock and the stall rule look at.
// A wait is listed at its reading or, if that has passed, at the current one (it is due from the
// moment it begins); AddDueWait returns that key, which RemoveDueWait takes.
std::int64_t AddDueWait(std::int64_t reading, Waiter* waiter);
void RemoveDueWait(std::int64_t reading, Waiter* waiter);
// Every timed waiter looks at its limit again (the clock jumped).
void PokeDueWaits();

// Whether the calling thread is one of the simulation's.
bool ThisThreadParticipates();
void SetThisThreadParticipates(bool participates);

// Calls the subscribers, and makes the timed waiters look again.
void NotifyJump();

}  // namespace simclock::detail
