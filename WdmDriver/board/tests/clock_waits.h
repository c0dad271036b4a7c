// Bounded waits of the board tests on the stand-ins' clock: under the virtual clock they are waits
// of the simulation, which let simulated time pass; on real time they poll as before.
#pragma once

#include <chrono>
#include <future>

#include "simclock/condition.h"

namespace board_test {

inline constexpr auto kPollStep = std::chrono::milliseconds(1);

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = simclock::Deadline::After(timeout);
    while (!condition()) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(kPollStep);
    }
    return true;
}

// Whether the future became ready within the bound.
template <class Future>
bool ReadyWithin(const Future& future, std::chrono::milliseconds bound) {
    return Eventually(
        [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        bound);
}

}  // namespace board_test
