// The stall rule of real time, on a host clock driven by hand: a wait that is due and whose thread
// has not come back from it for longer than the bound holds the clock at its due reading plus the
// bound until it does, whether or not other threads read the clock meanwhile; with nothing
// overdue, time keeps the host's pace.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "simclock/clock.h"

using namespace std::chrono_literals;

namespace {

using simclock::Duration;

// Each test starts with no stalls counted and leaves real time as it found it.
class StallRuleTest : public ::testing::Test {
  protected:
    void SetUp() override { simclock::ResetStalls(); }
    void TearDown() override {
        simclock::testing::SetBias({});
        simclock::ResetStalls();
    }
};

struct Case {
    const char* name;
    std::optional<Duration> dueAfter;      // a wait due this long after the start
    Duration gap;                          // host time until the last reading
    std::optional<Duration> readingEvery;  // other threads read the clock meanwhile
    Duration held;                         // what the clock holds of the gap
    std::uint64_t stalls;                  // in how many stalls
};

const Case kCases[] = {
    {"nothing due: an idle process", std::nullopt, 50ms, std::nullopt, 0ms, 0},
    {"nothing due: a busy process", std::nullopt, 50ms, 1ms, 0ms, 0},
    {"due after the gap: the wait has not come yet", 60ms, 50ms, 5ms, 0ms, 0},
    {"a wait due 5 ms in, its thread did not run", 5ms, 50ms, std::nullopt, 35ms, 1},
    {"due when it began: due from its start", -3ms, 50ms, std::nullopt, 40ms, 1},
    {"late within the bound", 2ms, 11ms, std::nullopt, 0ms, 0},
    {"just beyond the bound", 0ms, 11ms, std::nullopt, 1ms, 1},
    // A thread descheduled while the process's other threads run: still held, one stall.
    {"other threads read the clock meanwhile", 5ms, 50ms, 5ms, 35ms, 1},
    {"readings far apart: one stall held in steps", 5ms, 60ms, 30ms, 45ms, 1},
};

TEST_F(StallRuleTest, HoldsTheClockWhileADueWaitsThreadHasNotComeBack) {
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
        EXPECT_EQ(stalls.longest, c.held);
        EXPECT_EQ(stalls.total, c.held);
    }
}

TEST_F(StallRuleTest, ATimeGoesOnWhenTheWaitComesBackAndEachStallIsCounted) {
    {
        simclock::testing::ManualHostClock host;
        for (Duration gap : {20ms, 70ms, 30ms}) {
            const Duration start = simclock::Now();
            {
                simclock::testing::PendingDeadline due(start);
                host.Advance(gap);
                EXPECT_EQ(simclock::Now(), start + simclock::kStallBound);
            }
            // Back from its wait: the clock keeps the host's pace from where it stood.
            host.Advance(3ms);
            EXPECT_EQ(simclock::Now(), start + simclock::kStallBound + 3ms);
        }
    }
    const simclock::StallRecord stalls = simclock::Stalls();
    EXPECT_EQ(stalls.count, 3u);
    EXPECT_EQ(stalls.longest, 60ms);
    EXPECT_EQ(stalls.total, 90ms);
}

// Due work (a bus's pass) counts as a wait due from its start: a thread stopped in the middle of it
// holds the clock until the work ends.
TEST_F(StallRuleTest, DueWorkHoldsTheClockWhileItsThreadIsStoppedInIt) {
    {
        simclock::testing::ManualHostClock host;
        const Duration start = simclock::Now();
        {
            simclock::DueWork work;
            host.Advance(4ms);
            EXPECT_EQ(simclock::Now(), start + 4ms) << "within the bound: time keeps its pace";
            host.Advance(46ms);
            EXPECT_EQ(simclock::Now(), start + simclock::kStallBound);
        }
        host.Advance(2ms);
        EXPECT_EQ(simclock::Now(), start + simclock::kStallBound + 2ms);
    }
    EXPECT_EQ(simclock::Stalls().count, 1u);
    EXPECT_EQ(simclock::Stalls().total, 40ms);
}

TEST_F(StallRuleTest, AStallHoldsNoMoreThanItsLimit) {
    {
        simclock::testing::ManualHostClock host;
        const Duration start = simclock::Now();
        simclock::testing::PendingDeadline due(start);
        for (int i = 0; i < 30; ++i) {
            host.Advance(100ms);
            (void)simclock::Now();
        }
        // A thread stopped for good does not stop the clock: past the limit time moves again.
        EXPECT_EQ(simclock::Now() - start, 3s - simclock::kStallHoldLimit);
    }
    const simclock::StallRecord stalls = simclock::Stalls();
    EXPECT_EQ(stalls.count, 1u);
    EXPECT_EQ(stalls.longest, simclock::kStallHoldLimit);
}

}  // namespace
