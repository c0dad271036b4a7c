#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "simclock/clock.h"

using namespace std::chrono_literals;

namespace {

TEST(ClockTest, ManualClockStandsStillUntilAdvancedAndSystemTimeFollows) {
    simclock::testing::ManualClock manual;
    ASSERT_TRUE(simclock::IsManual());
    const auto start = simclock::Now();
    const auto startSystem = simclock::SystemTime100ns();
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(simclock::Now(), start);
    EXPECT_EQ(simclock::SystemTime100ns(), startSystem);
    EXPECT_EQ(simclock::HostDeadline(start + 1ms), simclock::HostTimePoint::max());

    manual.Advance(20ms);
    EXPECT_EQ(simclock::Now() - start, 20ms);
    EXPECT_EQ(simclock::SystemTime100ns() - startSystem, 200'000);
    manual.Advance(-5ms);  // refused: the clock never runs backwards
    EXPECT_EQ(simclock::Now() - start, 20ms);
}

TEST(ClockTest, RealClockResumesFromTheManualReadingWithoutGoingBack) {
    simclock::Duration manualReading;
    {
        simclock::testing::ManualClock manual;
        manual.Advance(1h);
        manualReading = simclock::Now();
    }
    EXPECT_FALSE(simclock::IsManual());
    EXPECT_GE(simclock::Now(), manualReading);
    EXPECT_LT(simclock::Now() - manualReading, 1s);
    const auto deadline = simclock::HostDeadline(simclock::Now() + 50ms);
    EXPECT_LE(deadline - std::chrono::steady_clock::now(), 50ms);
    simclock::testing::SetBias({});
}

TEST(ClockTest, SubscribersHearEveryJumpUntilTheyUnsubscribe) {
    std::atomic<int> jumps{0};
    {
        simclock::Subscription subscription([&] { ++jumps; });
        simclock::testing::UseManualClock();
        simclock::testing::Advance(1ms);
        simclock::testing::Advance(1ms);
        simclock::testing::UseRealClock();
        EXPECT_EQ(jumps.load(), 4);
    }
    simclock::testing::UseManualClock();
    simclock::testing::UseRealClock();
    EXPECT_EQ(jumps.load(), 4);
    simclock::testing::SetBias({});
}

}  // namespace
