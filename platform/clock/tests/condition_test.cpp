// The clock's condition variable on real time and under a manual clock: a timeout is kept across
// notifies, a manual clock's timeouts still end on host time, and a wait for a reading ends only
// when the manual clock is advanced that far.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "simclock/clock.h"
#include "simclock/condition.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 5s;  // an upper bound that a loaded machine still keeps

TEST(ConditionTest, ATimeoutIsKeptAcrossNotifiesThatDoNotSatisfyTheWait) {
    std::mutex mutex;
    simclock::ConditionVariable changed;
    std::atomic<bool> stop{false};
    std::thread storm([&] {
        while (!stop.load()) {
            changed.notify_all();
            std::this_thread::sleep_for(1ms);
        }
    });
    std::unique_lock guard(mutex);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(changed.wait_for(guard, 80ms, [] { return false; }));
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, 80ms);
    EXPECT_LT(waited, kGenerous);
    stop = true;
    guard.unlock();
    storm.join();
}

TEST(ConditionTest, UnderAManualClockTimeoutsRunOnTheHostAndReadingsWaitForTheTest) {
    simclock::testing::ManualClock manual;
    std::mutex mutex;
    simclock::ConditionVariable changed;
    std::unique_lock guard(mutex);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(changed.wait_for(guard, 30ms), std::cv_status::timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 30ms);
    guard.unlock();

    const simclock::Duration due = simclock::Now() + 10ms;
    std::atomic<bool> reached{false};
    std::thread timer([&] {
        std::unique_lock inner(mutex);
        while (simclock::Now() < due)
            changed.wait_until_reading(inner, due);
        reached = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(reached.load()) << "the manual clock stood still";
    manual.Advance(5ms);
    std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(reached.load()) << "advanced, but not far enough";
    manual.Advance(5ms);
    timer.join();
    EXPECT_TRUE(reached.load());
}

TEST(ConditionTest, ADeadlinePassesOnTheClock) {
    const auto deadline = simclock::Deadline::After(20ms);
    EXPECT_FALSE(deadline.Passed());
    simclock::SleepFor(25ms);
    EXPECT_TRUE(deadline.Passed());
    EXPECT_TRUE(simclock::Deadline::After(0ms).Passed());
}

}  // namespace
