// The kernel timer with its deferred routine on the manual clock: the 20 ms one-shot poll that
// re-arms itself, periods, cancel; and the trampolines that reach an object's method.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "framework/kernel_timer.h"
#include "framework_testing.h"
#include "simclock/clock.h"

namespace {

using namespace std::chrono_literals;

// The A/D poll's pattern: a 20 ms one-shot timer whose routine sets it again while polling.
class Poller {
  public:
    void Start() { timer_.Set(-200'000, wdm::DpcTrampoline<Poller, &Poller::Poll>, this); }
    void Stop() {
        polling_ = false;
        timer_.Cancel();
    }
    int Polls() const { return polls_; }
    KIRQL LastLevel() const { return level_; }
    wdm::KernelTimer& Timer() { return timer_; }

  private:
    void Poll() {
        ++polls_;
        level_ = KeGetCurrentIrql();
        if (polling_)
            Start();
    }
    wdm::KernelTimer timer_;
    std::atomic<int> polls_{0};
    std::atomic<KIRQL> level_{PASSIVE_LEVEL};
    std::atomic<bool> polling_{true};
};

class KernelTimerTest : public wdm_test::PoolCheckedTest {
  protected:
    void TearDown() override {
        EXPECT_TRUE(kernel::testing::ResetDeferredWork());
        PoolCheckedTest::TearDown();
    }
    void Advance(std::chrono::nanoseconds step) {
        clock_.Advance(step);
        ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    }
    simclock::testing::ManualClock clock_;
};

TEST_F(KernelTimerTest, TheRoutineRunsAtItsDueTimeAndMayRearmItself) {
    Poller poller;
    poller.Start();
    Advance(19ms);
    EXPECT_EQ(poller.Polls(), 0);
    Advance(1ms);
    EXPECT_EQ(poller.Polls(), 1);
    EXPECT_EQ(poller.LastLevel(), DISPATCH_LEVEL);
    Advance(20ms);
    EXPECT_EQ(poller.Polls(), 2);
    Advance(60ms);  // one expiry per advance: the timer is set again only when the routine runs
    EXPECT_EQ(poller.Polls(), 3);

    poller.Stop();
    EXPECT_FALSE(poller.Timer().Cancel());  // nothing set any more
    Advance(100ms);
    EXPECT_EQ(poller.Polls(), 3);
}

TEST_F(KernelTimerTest, SettingAgainReplacesTheDueTimeAndPeriodsRepeat) {
    std::atomic<int> runs{0};
    const auto count = [](PKDPC, PVOID context, PVOID, PVOID) {
        ++*static_cast<std::atomic<int>*>(context);
    };
    wdm::KernelTimer timer;
    EXPECT_FALSE(timer.Set(-10 * wdm::kMillisecond100ns, count, &runs));
    EXPECT_TRUE(timer.Set(-30 * wdm::kMillisecond100ns, count, &runs));  // replaces 10 ms
    Advance(20ms);
    EXPECT_EQ(runs, 0);
    Advance(10ms);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(timer.IsSignalled());

    EXPECT_FALSE(timer.SetPeriodic(-5 * wdm::kMillisecond100ns, 5));
    for (int expected = 2; expected <= 4; ++expected) {
        Advance(5ms);
        EXPECT_EQ(runs, expected);
    }
    EXPECT_TRUE(timer.Cancel());
    Advance(20ms);
    EXPECT_EQ(runs, 4);
}

TEST_F(KernelTimerTest, WorkItemsReachTheirObjectAtPassiveLevel) {
    struct Target {
        std::atomic<int> calls{0};
        std::atomic<KIRQL> level{DISPATCH_LEVEL};
        void Run() {
            level = KeGetCurrentIrql();
            ++calls;
        }
    } target;
    wdm::CallbackWorkItem record;
    record.Initialize(
        [](wdm::CallbackWorkItem* item, PVOID data) {
            EXPECT_NE(item, nullptr);
            static_cast<Target*>(data)->Run();
        },
        &target);
    record.Queue();
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_EQ(target.calls, 1);
    EXPECT_EQ(target.level, PASSIVE_LEVEL);

    wdm::WorkItemTrampoline<Target, &Target::Run>(nullptr, &target);
    EXPECT_EQ(target.calls, 2);
}

}  // namespace
