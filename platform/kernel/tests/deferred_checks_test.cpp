// Deferred routines on the clock and under the rules: DPCs at their due readings under load, and
// what a DPC or work item must not do.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel/deferred_testing.h"
#include "kernel/rules.h"
#include "kernel/wdm.h"
#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"

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

// The 20 ms poll of a driver runs at its due reading, however busy the host: on the virtual clock
// a DPC is never late, so a timer that is late by design (coarse ticks, a missed wake-up, a DPC
// left queued while the clock moves on) shows in every round. Threads outside the simulation keep
// the host's cores busy meanwhile.
TEST_F(DeferredChecksTest, DpcsRunAtTheirDueReadingWhateverTheHostsLoad) {
    simclock::testing::VirtualClock clock;
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
    const auto deadline = simclock::Deadline::After(10s);
    while (!state.done && !deadline.Passed())
        simclock::SleepFor(5ms);
    stop = true;
    for (auto& thread : load)
        thread.join();
    ASSERT_TRUE(state.done);
    std::lock_guard lock(state.mutex);
    ASSERT_EQ(state.late.size(), 15u);
    for (std::size_t round = 0; round < state.late.size(); ++round)
        EXPECT_EQ(state.late[round], simclock::Duration{0}) << "round " << round;
}

struct Stamped {
    KTIMER timer;
    KDPC dpc;
    simclock::Duration due{};
    std::atomic<bool> ran{false};
    std::atomic<std::int64_t> ranAtNs{0};
};

void StampDpc(KDPC*, PVOID context, PVOID, PVOID) {
    auto* stamped = static_cast<Stamped*>(context);
    stamped->ranAtNs = simclock::Now().count();
    stamped->ran = true;
}

// The timer thread sleeps until the earliest due reading: a timer set while it sleeps, due before
// that reading or after it, runs at its own due reading.
TEST_F(DeferredChecksTest, TimersSetWhileTheThreadSleepsRunAtTheirOwnDueReadings) {
    simclock::testing::VirtualClock clock;
    Stamped timers[3];
    auto set = [](Stamped& stamped, LONGLONG ms) {
        KeInitializeTimer(&stamped.timer);
        KeInitializeDpc(&stamped.dpc, StampDpc, &stamped);
        stamped.due = simclock::Now() + std::chrono::milliseconds(ms);
        KeSetTimer(&stamped.timer, RelativeMs(ms), &stamped.dpc);
    };
    set(timers[0], 50);
    simclock::SleepFor(1ms);  // the thread sleeps until the first one's due reading meanwhile
    set(timers[1], 20);       // before it
    set(timers[2], 50);       // after it
    const auto deadline = simclock::Deadline::After(10s);
    auto allRan = [&] { return timers[0].ran && timers[1].ran && timers[2].ran; };
    while (!allRan() && !deadline.Passed())
        simclock::SleepFor(5ms);
    ASSERT_TRUE(allRan());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(simclock::Duration(timers[i].ranAtNs.load()), timers[i].due) << "timer " << i;
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
