// The threads of the simulation: counted while they run, so that the virtual clock waits for them.
#include "simclock/thread.h"

#include "state.h"

namespace simclock {
namespace {

// Ends the count of a thread made after Enlist() when the thread ends, however it ends.
struct CountedUntilExit {
    bool counted = false;
    ~CountedUntilExit() {
        if (counted && detail::ThisThreadParticipates()) {
            detail::SetThisThreadParticipates(false);
            Withdraw();
        }
    }
};
thread_local CountedUntilExit t_countedUntilExit;

}  // namespace

void Enlist() {
    detail::TheState().running.fetch_add(1);
}

void Withdraw() {
    if (detail::TheState().running.fetch_sub(1) == 1)
        detail::AdvanceIfIdle();
}

void AdoptEnlisted() {
    detail::SetThisThreadParticipates(true);
    t_countedUntilExit.counted = true;
}

bool Participates() {
    return detail::ThisThreadParticipates();
}

Thread::Thread(std::function<void()> body) {
    Enlist();
    try {
        thread_ = std::thread([body = std::move(body)] {
            AdoptEnlisted();
            body();
        });
    } catch (...) {
        Withdraw();
        throw;
    }
}

Thread& Thread::operator=(Thread&& other) {
    join();
    thread_ = std::move(other.thread_);
    return *this;
}

Participation::Participation() : joined_(!detail::ThisThreadParticipates()) {
    if (!joined_)
        return;
    Enlist();
    detail::SetThisThreadParticipates(true);
}

Participation::~Participation() {
    if (!joined_)
        return;
    detail::SetThisThreadParticipates(false);
    Withdraw();
}

namespace testing {

VirtualClock::VirtualClock() {
    UseVirtualClock();
}

VirtualClock::~VirtualClock() {
    UseRealClock();
}

int RunningThreads() {
    return detail::TheState().running.load();
}

bool Settle(std::chrono::nanoseconds hostBound) {
    constexpr int kYieldsBeforeSleeping = 100;
    constexpr auto kPause = std::chrono::microseconds(20);
    const int self = Participates() ? 1 : 0;
    const auto deadline = std::chrono::steady_clock::now() + hostBound;
    for (int round = 0; detail::TheState().running.load() > self; ++round) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (round < kYieldsBeforeSleeping)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(kPause);
    }
    return true;
}

}  // namespace testing
}  // namespace simclock
