// The virtual clock: it advances only when every thread of the simulation is blocked in a wait of
// the clock, jumps to the earliest due reading, and never past a thread that a notify let go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"

using namespace std::chrono_literals;

namespace {

using simclock::Duration;

// Host time a whole test may take: the virtual clock runs as fast as the host lets it.
constexpr auto kHostBound = 20s;

TEST(VirtualClockTest, WaitsEndAtTheirReadingsInOrderWithoutTakingTheirTimeOnTheHost) {
    simclock::testing::VirtualClock clock;
    const Duration start = simclock::Now();
    const auto hostStart = std::chrono::steady_clock::now();
    std::mutex mutex;
    std::vector<std::pair<int, Duration>> woke;  // (sleeper, reading when it woke)
    {
        std::vector<simclock::Thread> sleepers;
        for (int n : {3, 1, 2}) {
            sleepers.emplace_back([&, n] {
                simclock::SleepFor(n * 1s);
                std::lock_guard guard(mutex);
                woke.emplace_back(n, simclock::Now() - start);
            });
        }
        simclock::SleepFor(10s);
    }
    EXPECT_EQ(woke, (std::vector<std::pair<int, Duration>>{{1, 1s}, {2, 2s}, {3, 3s}}));
    EXPECT_EQ(simclock::Now() - start, 10s);
    EXPECT_LT(std::chrono::steady_clock::now() - hostStart, kHostBound);
}

TEST(VirtualClockTest, StandsStillWhileAThreadOfTheSimulationRuns) {
    simclock::testing::VirtualClock clock;
    const Duration start = simclock::Now();
    std::atomic<bool> slept{false};
    simclock::Thread sleeper([&] {
        simclock::SleepFor(1ms);
        slept = true;
    });
    // This thread counts and does not wait on the clock: the sleeper's millisecond cannot pass.
    const auto hostUntil = std::chrono::steady_clock::now() + 50ms;
    while (std::chrono::steady_clock::now() < hostUntil)
        EXPECT_EQ(simclock::Now(), start);
    EXPECT_FALSE(slept.load());
    simclock::SleepFor(5ms);  // now both wait: the clock reaches the sleeper's millisecond first
    EXPECT_TRUE(slept.load());
    EXPECT_EQ(simclock::Now() - start, 5ms);
    sleeper.join();
}

// A notified thread counts as running before it is scheduled: the notifier going to sleep right
// after must not let the clock jump past it.
TEST(VirtualClockTest, ANotifiedThreadRunsBeforeTheClockMovesOn) {
    simclock::testing::VirtualClock clock;
    constexpr int kRounds = 200;
    std::mutex mutex;
    simclock::ConditionVariable changed;
    int round = 0;
    std::vector<Duration> lateBy;
    simclock::Thread waiter([&] {
        std::unique_lock guard(mutex);
        for (int seen = 0; seen < kRounds; ++seen) {
            const Duration notifiedAt = simclock::Now();
            changed.wait(guard, [&] { return round > seen; });
            lateBy.push_back(simclock::Now() - notifiedAt);
        }
    });
    for (int n = 0; n < kRounds; ++n) {
        {
            std::lock_guard guard(mutex);
            ++round;
        }
        changed.notify_all();
        simclock::SleepFor(1s);
    }
    waiter.join();
    ASSERT_EQ(lateBy.size(), static_cast<std::size_t>(kRounds));
    for (std::size_t n = 1; n < lateBy.size(); ++n)
        EXPECT_EQ(lateBy[n], 1s) << "round " << n;  // woken at the notify, a second after it looked
}

TEST(VirtualClockTest, TimeoutsAndNotifiesOnTheVirtualClock) {
    simclock::testing::VirtualClock clock;
    std::mutex mutex;
    simclock::ConditionVariable changed;
    bool ready = false;
    std::unique_lock guard(mutex);
    const Duration start = simclock::Now();
    // Nobody notifies: the timeout comes at once on the host, exactly on the clock.
    EXPECT_FALSE(changed.wait_for(guard, 250ms, [&] { return ready; }));
    EXPECT_EQ(simclock::Now() - start, 250ms);
    // Notified after 40 ms of the clock by a thread that sleeps first.
    simclock::Thread notifier([&] {
        simclock::SleepFor(40ms);
        std::lock_guard inner(mutex);
        ready = true;
        changed.notify_all();
    });
    EXPECT_TRUE(changed.wait_for(guard, 5s, [&] { return ready; }));
    EXPECT_EQ(simclock::Now() - start, 290ms);
    guard.unlock();
    notifier.join();
}

TEST(VirtualClockTest, CountsItsThreadsFromTheirMakingToTheirEnd) {
    const int before = simclock::testing::RunningThreads();
    {
        simclock::Participation taking;
        EXPECT_TRUE(simclock::Participates());
        EXPECT_EQ(simclock::testing::RunningThreads(), before + 1);
        {
            simclock::Participation nested;  // counts once
            EXPECT_EQ(simclock::testing::RunningThreads(), before + 1);
        }
        std::atomic<bool> go{false};
        simclock::Thread thread([&] {
            while (!go.load())
                std::this_thread::yield();
        });
        EXPECT_EQ(simclock::testing::RunningThreads(), before + 2);
        go = true;
        thread.join();
        EXPECT_EQ(simclock::testing::RunningThreads(), before + 1);
    }
    EXPECT_FALSE(simclock::Participates());
    EXPECT_EQ(simclock::testing::RunningThreads(), before);
}

TEST(VirtualClockTest, RealTimeResumesFromTheVirtualReading) {
    Duration virtualReading;
    {
        simclock::testing::VirtualClock clock;
        simclock::SleepFor(1h);
        virtualReading = simclock::Now();
    }
    EXPECT_FALSE(simclock::IsVirtual());
    EXPECT_GE(simclock::Now(), virtualReading);
    EXPECT_LT(simclock::Now() - virtualReading, 1s);
    simclock::testing::SetBias({});
}

}  // namespace
