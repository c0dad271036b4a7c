// The stall rule of real time, on a host clock driven by hand: a gap in which no thread read the
// clock although a wait was due is held from the due reading on, once it is longer than the bound;
// a gap in which the process went on reading the clock, or in which nothing was due, passes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "simclock/clock.h"

using namespace std::chrono_literals;

namespace {

using simclock::Duration;

struct Case {
    const char* name;
    std::optional<Duration> dueAfter;      // a wait due this long after the last reading
    Duration gap;                          // host time until the next reading
    std::optional<Duration> readingEvery;  // another thread reads the clock meanwhile
    Duration held;                         // what the clock holds of the gap
    std::uint64_t stalls;                  // in how many held gaps
    Duration longest;
};

const Case kCases[] = {
    {"nothing due: an idle process", std::nullopt, 50ms, std::nullopt, 0ms, 0, 0ms},
    {"a wait due 5 ms in, nobody ran", 5ms, 50ms, std::nullopt, 45ms, 1, 45ms},
    {"a wait already due, nobody ran", -3ms, 50ms, std::nullopt, 50ms, 1, 50ms},
    {"late within the bound", 2ms, 11ms, std::nullopt, 0ms, 0, 0ms},
    {"just beyond the bound", 0ms, 11ms, std::nullopt, 11ms, 1, 11ms},
    {"the process read the clock meanwhile", 5ms, 50ms, 5ms, 0ms, 0, 0ms},
    // Readings 30 ms apart: each gap is one the due wait did not run in.
    {"readings too far apart to vouch for the gap", 5ms, 60ms, 30ms, 55ms, 2, 30ms},
};

TEST(StallRuleTest, HoldsAGapOnlyWhenAWaitWasDueAndNoThreadReadTheClock) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        simclock::ResetStalls();
        {
            simclock::testing::ManualHostClock host;
            const Duration start = simclock::Now();
            std::optional<simclock::testing::PendingDeadline> due;
            if (c.dueAfter)
                due.emplace(start + *c.dueAfter);
            Duration passed{};
            const Duration step = c.readingEvery.value_or(c.gap);
            while (passed < c.gap) {
                host.Advance(step);
                passed += step;
                (void)simclock::Now();
            }
            EXPECT_EQ(simclock::Now() - start, c.gap - c.held);
        }
        const simclock::StallRecord stalls = simclock::Stalls();
        EXPECT_EQ(stalls.count, c.stalls);
        EXPECT_EQ(stalls.longest, c.longest);
        EXPECT_EQ(stalls.total, c.held);
    }
    simclock::testing::SetBias({});
    simclock::ResetStalls();
}

TEST(StallRuleTest, CountsEachHeldGapAndKeepsTheLongest) {
    simclock::ResetStalls();
    {
        simclock::testing::ManualHostClock host;
        const Duration start = simclock::Now();
        simclock::testing::PendingDeadline due(start);
        for (Duration gap : {20ms, 70ms, 30ms}) {
            host.Advance(gap);
            (void)simclock::Now();
        }
        EXPECT_EQ(simclock::Now(), start);  // the due wait never ran: the clock stood still
    }
    const simclock::StallRecord stalls = simclock::Stalls();
    EXPECT_EQ(stalls.count, 3u);
    EXPECT_EQ(stalls.longest, 70ms);
    EXPECT_EQ(stalls.total, 120ms);
    simclock::testing::SetBias({});
    simclock::ResetStalls();
}

}  // namespace
