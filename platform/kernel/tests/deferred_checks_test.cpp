// Deferred routines on the real clock and under the rules: DPC lateness under load, and what a
// DPC or work item must not do.
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

LARGE_INTEGER RelativeMs(LONGLONG ms) {
    LARGE_INTEGER due;
    due.QuadPart = -ms * 10'000;
    return due;
}

class DeferredChecksTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(kernel::testing::ResetDeferredWork()); }
};

struct Lateness {
    KTIMER timer;
    KDPC dpc;
    std::atomic<int> runs{0};
    int rounds = 0;
    simclock::Duration due{};
    std::mutex mutex;
    std::vector<simclock::Duration> late;
    std::atomic<bool> done{false};
};

void LatenessDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto* state = static_cast<Lateness*>(context);
    {
        std::lock_guard lock(state->mutex);
        state->late.push_back(simclock::Now() - state->due);
        if (++state->runs >= state->rounds) {
            state->done = true;
            return;
        }
        state->due = simclock::Now() + 20ms;
    }
    KeSetTimer(&state->timer, RelativeMs(20), &state->dpc);
}

// The 20 ms poll of a driver must not run late by anything near 40 ms while the machine is busy.
// The host may still stall any thread now and then, so one outlier in the rounds is let pass;
// a timer that is late by design (coarse ticks, a missed wake-up) fails every round.
TEST_F(DeferredChecksTest, RealClockDpcLatenessStaysSmallUnderLoad) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i)
        load.emplace_back([&] {
            volatile unsigned spin = 0;
            while (!stop)
                spin = spin + 1;
        });
    Lateness state;
    state.rounds = 15;
    KeInitializeTimer(&state.timer);
    KeInitializeDpc(&state.dpc, LatenessDpc, &state);
    {
        std::lock_guard lock(state.mutex);
        state.due = simclock::Now() + 20ms;
    }
    KeSetTimer(&state.timer, RelativeMs(20), &state.dpc);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!state.done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    stop = true;
    for (auto& thread : load)
        thread.join();
    ASSERT_TRUE(state.done);
    std::lock_guard lock(state.mutex);
    std::vector<simclock::Duration> late = state.late;
    std::sort(late.begin(), late.end());
    std::printf("DPC lateness over %zu rounds: best %.3f ms, median %.3f ms, worst %.3f ms\n",
                late.size(), late.front().count() / 1e6, late[late.size() / 2].count() / 1e6,
                late.back().count() / 1e6);
    EXPECT_GE(late.front().count(), 0);  // never early
    EXPECT_LT(late[late.size() / 2], 10ms);
    EXPECT_LT(late[late.size() - 2], 40ms);
}

void LowersIrql(KDPC*, PVOID, PVOID, PVOID) {
    KeLowerIrql(PASSIVE_LEVEL);
}
void WaitsWithATimeout(KDPC*, PVOID, PVOID, PVOID) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    LARGE_INTEGER timeout = RelativeMs(1);
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout);
}
void AllocatesPagedPool(KDPC*, PVOID, PVOID, PVOID) {
    ExFreePool(ExAllocatePoolWithTag(PagedPool, 16, MQ_POOL_TAG('T', 'e', 's', 't')));
}
void RaisesIrql(PVOID) {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
}

// What a driver's deferred routine must not do is seen, on the deferred threads, by the recorder.
TEST_F(DeferredChecksTest, RuleViolationsInDeferredRoutinesAreReported) {
    struct Case {
        const char* name;
        PKDEFERRED_ROUTINE dpc;
        PWORKER_THREAD_ROUTINE work;
        const char* rule;
    };
    const Case cases[] = {
        {"DPC lowers the level", LowersIrql, nullptr, "DPC routine returned at another IRQL"},
        {"DPC waits", WaitsWithATimeout, nullptr, "KeWaitForSingleObject at DISPATCH_LEVEL"},
        {"DPC allocates paged pool", AllocatesPagedPool, nullptr, "paged pool allocated"},
        {"work item returns raised", nullptr, RaisesIrql, "work item returned above PASSIVE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kernel::RuleViolationRecorder recorder;
        KDPC dpc;
        WORK_QUEUE_ITEM item;
        if (c.dpc != nullptr) {
            KeInitializeDpc(&dpc, c.dpc, nullptr);
            KeInsertQueueDpc(&dpc, nullptr, nullptr);
        } else {
            ExInitializeWorkItem(&item, c.work, nullptr);
            ExQueueWorkItem(&item, DelayedWorkQueue);
        }
        ASSERT_TRUE(kernel::testing::DrainDeferredWork());
        EXPECT_EQ(recorder.Count(), 1);
        EXPECT_TRUE(recorder.Saw(c.rule));
    }
}

}  // namespace
