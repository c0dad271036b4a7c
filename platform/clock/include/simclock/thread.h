// The threads of the simulation. The virtual clock advances only while every one of them is
// blocked in a wait of the clock (simclock/condition.h): a thread the stand-ins run counts from the
// moment it is made (on its maker's side, so that the clock cannot jump before it has started)
// until it returns; a test thread counts while it holds a Participation.
//
// A thread that is not counted may still wait and notify; it only does not hold the virtual
// clock back. In real and manual mode the count changes nothing.
#pragma once

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace simclock {

// Counts one more running thread of the simulation, for a thread about to be made; the new thread
// takes it over with AdoptEnlisted(). A thread that could not be made gives it back with
// Withdraw().
void Enlist();
void Withdraw();
// Called first on a thread made after Enlist(): the calling thread is counted until it ends.
void AdoptEnlisted();
// Whether the calling thread counts.
bool Participates();

// A std::thread that counts from its construction until its body returns.
class Thread {
  public:
    Thread() = default;
    explicit Thread(std::function<void()> body);
    Thread(Thread&&) = default;
    Thread& operator=(Thread&& other);
    ~Thread() { join(); }

    bool joinable() const { return thread_.joinable(); }
    void join() {
        if (thread_.joinable())
            thread_.join();
    }
    std::thread::id get_id() const { return thread_.get_id(); }

  private:
    std::thread thread_;
};

// Makes the calling thread count for the lifetime of the object (a test's own thread, whose waits
// hold the virtual clock back only while it runs). Nests: a thread that counts already stays as
// it is.
class Participation {
  public:
    Participation();
    ~Participation();
    Participation(const Participation&) = delete;
    Participation& operator=(const Participation&) = delete;

  private:
    bool joined_;
};

namespace testing {

// The virtual clock for the lifetime of the object, with the calling thread taking part; real time
// again afterwards, from where the virtual clock stood.
class VirtualClock {
  public:
    VirtualClock();
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

  private:
    Participation participation_;
};

// Threads of the simulation that run now (not blocked in a wait of the clock).
int RunningThreads();

// Returns once every other thread of the simulation is blocked in a wait of the clock: what the
// simulation does at this reading is done, and (the calling thread counting, so that the virtual
// clock stands still meanwhile) nothing of the next one has begun. For a test that looks at the
// state the other threads reach "now". False when they did not get there within the host bound.
bool Settle(std::chrono::nanoseconds hostBound = std::chrono::seconds(10));

}  // namespace testing
}  // namespace simclock
