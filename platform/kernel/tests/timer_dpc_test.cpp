// Kernel timers and DPCs on the manual clock: due times, replacement, cancel, re-arming from the
// DPC, periodic timers, timers as dispatcher objects; DPCs at DISPATCH_LEVEL on several processors.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel/deferred_testing.h"
#include "kernel/rules.h"
#include "kernel/wdm.h"
#include "simclock/clock.h"

namespace {

using namespace std::chrono_literals;

LARGE_INTEGER Due(LONGLONG units) {
    LARGE_INTEGER due;
    due.QuadPart = units;
    return due;
}
LARGE_INTEGER RelativeMs(LONGLONG ms) {
    return Due(-ms * 10'000);
}

class TimerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_TRUE(kernel::testing::ResetDeferredWork());
        simclock::testing::UseRealClock();
    }
    // Advances the manual clock and lets every timer and DPC that became due run.
    void Advance(std::chrono::milliseconds step) {
        simclock::testing::Advance(step);
        ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    }
};

struct Counter {
    std::atomic<int> runs{0};
};

void CountDpc(KDPC*, PVOID context, PVOID, PVOID) {
    ++static_cast<Counter*>(context)->runs;
}

// A timer fires exactly when the clock reaches its due time, whatever the form of the due time.
TEST_F(TimerTest, FiresWhenTheManualClockReachesTheDueTime) {
    simclock::testing::UseManualClock();
    const LONGLONG now = simclock::SystemTime100ns();
    struct Case {
        const char* name;
        LONGLONG due;
        int firstStepMs;  // fired after this step: false; after one more ms: true
    };
    const Case cases[] = {
        {"relative 20 ms", -200'000, 19},
        {"absolute in 20 ms", now + 200'000, 19},
        {"absolute in the past", now - 10'000'000, -1},
        {"absolute zero (1601)", 0, -1},
        {"relative 0.5 ms", -5'000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simclock::testing::UseRealClock();
        simclock::testing::UseManualClock();  // restart the manual clock at the same point
        Counter counter;
        KTIMER timer;
        KDPC dpc;
        KeInitializeTimer(&timer);
        KeInitializeDpc(&dpc, CountDpc, &counter);
        // Absolute due times are taken from the clock's system time: rebase them on it.
        const LONGLONG due = c.due > 0 ? c.due - now + simclock::SystemTime100ns() : c.due;
        EXPECT_FALSE(KeSetTimer(&timer, Due(due), &dpc));
        if (c.firstStepMs >= 0) {
            Advance(std::chrono::milliseconds(c.firstStepMs));
            EXPECT_EQ(counter.runs, 0);
            EXPECT_FALSE(KeReadStateTimer(&timer));
            Advance(1ms);
        } else {
            ASSERT_TRUE(kernel::testing::DrainDeferredWork());
        }
        EXPECT_EQ(counter.runs, 1);
        EXPECT_TRUE(KeReadStateTimer(&timer));
        EXPECT_FALSE(KeCancelTimer(&timer));  // expired: no longer set
        Advance(100ms);
        EXPECT_EQ(counter.runs, 1);
    }
}

TEST_F(TimerTest, SettingAgainReplacesAndCancelReportsWhetherItWasSet) {
    simclock::testing::ManualClock manual;
    Counter counter;
    KTIMER timer;
    KDPC dpc;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, CountDpc, &counter);

    LARGE_INTEGER before, after;
    KeQuerySystemTime(&before);
    EXPECT_FALSE(KeSetTimer(&timer, RelativeMs(20), &dpc));
    EXPECT_TRUE(KeSetTimer(&timer, RelativeMs(50), &dpc));  // replaces the 20 ms due time
    EXPECT_EQ(kernel::testing::SetTimerCount(), 1u);
    Advance(20ms);
    EXPECT_EQ(counter.runs, 0);
    Advance(30ms);
    EXPECT_EQ(counter.runs, 1);
    KeQuerySystemTime(&after);  // system time follows the manual clock
    EXPECT_EQ(after.QuadPart - before.QuadPart, 500'000);

    EXPECT_FALSE(KeSetTimer(&timer, RelativeMs(10), &dpc));  // expired: not set any more
    EXPECT_TRUE(KeCancelTimer(&timer));
    EXPECT_FALSE(KeCancelTimer(&timer));
    Advance(50ms);
    EXPECT_EQ(counter.runs, 1);
    EXPECT_EQ(kernel::testing::SetTimerCount(), 0u);
}

struct Poll {
    KTIMER timer;
    KDPC dpc;
    std::atomic<int> runs{0};
    int rearmUntil = 0;
    std::atomic<int> irql{-1};
};

void RearmingDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto* poll = static_cast<Poll*>(context);
    poll->irql = KeGetCurrentIrql();
    if (++poll->runs < poll->rearmUntil)
        KeSetTimer(&poll->timer, RelativeMs(20), &poll->dpc);
}

TEST_F(TimerTest, DpcReArmsItsOwnTimerAndPeriodicTimersKeepTheirCadence) {
    simclock::testing::ManualClock manual;
    Poll poll;
    poll.rearmUntil = 3;
    KeInitializeTimer(&poll.timer);
    KeInitializeDpc(&poll.dpc, RearmingDpc, &poll);
    KeSetTimer(&poll.timer, RelativeMs(20), &poll.dpc);
    for (int step = 1; step <= 5; ++step) {
        Advance(20ms);
        EXPECT_EQ(poll.runs, std::min(step, 3)) << "step " << step;
    }
    EXPECT_EQ(poll.irql, DISPATCH_LEVEL);

    Counter counter;
    KTIMER periodic;
    KDPC dpc;
    KeInitializeTimer(&periodic);
    KeInitializeDpc(&dpc, CountDpc, &counter);
    KeSetTimerEx(&periodic, RelativeMs(10), 20, &dpc);
    Advance(10ms);
    EXPECT_EQ(counter.runs, 1);
    Advance(19ms);
    EXPECT_EQ(counter.runs, 1);
    Advance(1ms);
    EXPECT_EQ(counter.runs, 2);
    Advance(100ms);  // missed periods are skipped, not run in a burst
    EXPECT_EQ(counter.runs, 3);
    Advance(19ms);  // the cadence is kept: due at 10 + 20k ms, next at 130 ms from the start
    EXPECT_EQ(counter.runs, 3);
    Advance(1ms);
    EXPECT_EQ(counter.runs, 4);
    EXPECT_TRUE(KeCancelTimer(&periodic));
}

TEST_F(TimerTest, TimersAreWaitableObjects) {
    simclock::testing::ManualClock manual;
    LARGE_INTEGER poll = Due(0);
    for (TIMER_TYPE type : {NotificationTimer, SynchronizationTimer}) {
        SCOPED_TRACE(type == NotificationTimer ? "notification" : "synchronization");
        KTIMER timer;
        KeInitializeTimerEx(&timer, type);
        KeSetTimer(&timer, RelativeMs(5), nullptr);
        EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, &poll),
                  STATUS_TIMEOUT);
        Advance(5ms);
        EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, &poll),
                  STATUS_SUCCESS);
        // A synchronization timer releases one wait; a notification timer stays signalled.
        EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, &poll),
                  type == NotificationTimer ? STATUS_SUCCESS : STATUS_TIMEOUT);
        KeSetTimer(&timer, RelativeMs(5), nullptr);  // setting clears the signal
        EXPECT_FALSE(KeReadStateTimer(&timer));
        KeCancelTimer(&timer);
    }
}

// Bounded waits inside DPC routines: long enough for another processor to act, short enough that a
// stand-in without one fails the test instead of hanging it.
constexpr auto kOtherProcessorBound = 2s;

template <class Predicate>
bool SpinUntil(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + kOtherProcessorBound;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

struct Processors {
    std::atomic<bool> secondRan{false};
    std::atomic<bool> firstSawSecond{false};
    std::atomic<int> wrongPlace{0};  // not at DISPATCH_LEVEL, or on the queuing thread
    std::thread::id queuer = std::this_thread::get_id();
    // The DPC that is queued again while it runs.
    KDPC again;
    std::atomic<int> againRuns{0};
    std::atomic<int> againInside{0};
    std::atomic<int> againOverlaps{0};
    std::atomic<bool> requeued{false};
    KDPC other;
    std::atomic<bool> otherRan{false};
    std::atomic<bool> otherRanMeanwhile{false};
};

void CheckPlace(Processors& p) {
    if (KeGetCurrentIrql() != DISPATCH_LEVEL || std::this_thread::get_id() == p.queuer)
        ++p.wrongPlace;
}

void FirstDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto& p = *static_cast<Processors*>(context);
    CheckPlace(p);
    p.firstSawSecond = SpinUntil([&] { return p.secondRan.load(); });
}

void SecondDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto& p = *static_cast<Processors*>(context);
    CheckPlace(p);
    p.secondRan = true;
}

void OtherDpc(KDPC*, PVOID context, PVOID, PVOID) {
    static_cast<Processors*>(context)->otherRan = true;
}

// Its first run queues it again, then another DPC behind it, and waits for that one: a processor
// that is free meanwhile must pass it over while it runs.
void AgainDpc(KDPC* dpc, PVOID context, PVOID, PVOID) {
    auto& p = *static_cast<Processors*>(context);
    CheckPlace(p);
    if (++p.againInside > 1)
        ++p.againOverlaps;
    if (++p.againRuns == 1) {
        p.requeued = KeInsertQueueDpc(dpc, nullptr, nullptr) != FALSE;
        KeInsertQueueDpc(&p.other, nullptr, nullptr);
        p.otherRanMeanwhile = SpinUntil([&] { return p.otherRan.load(); });
    }
    --p.againInside;
}

// Different DPCs run at the same time on the simulated processors; one DPC object runs on one
// processor at a time, even when it is queued again while it runs.
TEST_F(TimerTest, DpcsRunConcurrentlyButOneDpcObjectNeverTwiceAtOnce) {
    Processors p;
    KDPC first, second;
    KeInitializeDpc(&first, FirstDpc, &p);
    KeInitializeDpc(&second, SecondDpc, &p);
    KeInitializeDpc(&p.again, AgainDpc, &p);
    KeInitializeDpc(&p.other, OtherDpc, &p);
    ASSERT_TRUE(KeInsertQueueDpc(&first, nullptr, nullptr));
    ASSERT_TRUE(KeInsertQueueDpc(&second, nullptr, nullptr));
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_TRUE(p.firstSawSecond);

    ASSERT_TRUE(KeInsertQueueDpc(&p.again, nullptr, nullptr));
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_TRUE(p.requeued);
    EXPECT_TRUE(p.otherRanMeanwhile);
    EXPECT_EQ(p.againRuns, 2);
    EXPECT_EQ(p.againOverlaps, 0);
    EXPECT_EQ(p.wrongPlace, 0);
}

struct Blocking {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> left{false};
    std::atomic<int> runs{0};
};

void BlockingDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto* blocking = static_cast<Blocking*>(context);
    ++blocking->runs;
    blocking->entered = true;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!blocking->release && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    blocking->left = true;
}

// A DPC is queued at most once; KeCancelTimer neither waits for nor stops a DPC already running.
TEST_F(TimerTest, CancelDoesNotWaitForARunningDpcAndADpcIsQueuedOnce) {
    simclock::testing::ManualClock manual;
    Blocking blocking;
    KTIMER timer;
    KDPC dpc;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, BlockingDpc, &blocking);
    KeSetTimer(&timer, RelativeMs(1), &dpc);
    simclock::testing::Advance(1ms);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!blocking.entered && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(blocking.entered);

    EXPECT_FALSE(KeCancelTimer(&timer));
    EXPECT_FALSE(blocking.left) << "the cancel waited for the running DPC";

    // While it runs it may be queued again, but only once.
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
    EXPECT_FALSE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
    EXPECT_TRUE(KeRemoveQueueDpc(&dpc));
    EXPECT_FALSE(KeRemoveQueueDpc(&dpc));
    blocking.release = true;
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_EQ(blocking.runs, 1);
}

}  // namespace

struct Expiries {
    std::mutex mutex;
    std::vector<std::pair<int, std::thread::id>> runs;  // which timer, on which thread
    KDPC dpcs[3];
};

void NoteExpiryDpc(KDPC* dpc, PVOID context, PVOID, PVOID) {
    auto* expiries = static_cast<Expiries*>(context);
    std::lock_guard guard(expiries->mutex);
    expiries->runs.emplace_back(static_cast<int>(dpc - expiries->dpcs), std::this_thread::get_id());
}

// The timer thread runs the DPCs of the timers it expired itself, in their due order, rather than
// waking a processor for each; a DPC queued by anyone else still goes to a processor.
TEST_F(TimerTest, TheDpcsOfTimersExpiredTogetherRunInDueOrderOnTheTimerThread) {
    simclock::testing::UseManualClock();
    // The processors exist and wait: a processor that starts looks at the queue at once.
    Counter warmUp;
    KDPC first;
    KeInitializeDpc(&first, CountDpc, &warmUp);
    ASSERT_TRUE(KeInsertQueueDpc(&first, nullptr, nullptr));
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    Expiries expiries;
    KTIMER timers[3];
    const LONGLONG dueMs[3] = {7, 3, 5};
    for (int i = 0; i < 3; ++i) {
        KeInitializeTimer(&timers[i]);
        KeInitializeDpc(&expiries.dpcs[i], NoteExpiryDpc, &expiries);
        KeSetTimer(&timers[i], RelativeMs(dueMs[i]), &expiries.dpcs[i]);
    }
    Advance(10ms);
    ASSERT_EQ(expiries.runs.size(), 3u);
    EXPECT_EQ(expiries.runs[0].first, 1);
    EXPECT_EQ(expiries.runs[1].first, 2);
    EXPECT_EQ(expiries.runs[2].first, 0);
    EXPECT_EQ(expiries.runs[0].second, expiries.runs[1].second);
    EXPECT_EQ(expiries.runs[1].second, expiries.runs[2].second);
    EXPECT_NE(expiries.runs[0].second, std::this_thread::get_id());
}
