// Multimedia timers: one-shot and periodic callbacks on the timer thread, and kill semantics.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "win32/mmsystem.h"

namespace {

using namespace std::chrono_literals;

struct CallbackState {
    std::atomic<int> calls{0};
    std::atomic<UINT> lastId{0};
    std::atomic<bool> onCallerThread{false};
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    std::chrono::milliseconds work{0};
};

void CALLBACK Count(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* state = reinterpret_cast<CallbackState*>(user);
    state->inside = true;
    state->lastId = id;
    if (std::this_thread::get_id() == state->caller)
        state->onCallerThread = true;
    simclock::SleepFor(state->work);
    state->calls += 1;
    state->finished = true;
}

// Polls (bounded, on the stand-ins' clock) until the predicate holds.
template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = simclock::Deadline::After(timeout);
    while (!predicate()) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(1ms);
    }
    return true;
}

class MultimediaTimerTest : public ::testing::Test {
  protected:
    void TearDown() override { win32::testing::KillAllMultimediaTimers(); }
};

TEST_F(MultimediaTimerTest, OneShotRunsOnceOnTheTimerThread) {
    CallbackState state;
    DWORD started = timeGetTime();
    UINT id = timeSetEvent(30, 0, Count, reinterpret_cast<DWORD_PTR>(&state),
                           TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(WaitFor([&] { return state.calls == 1; }));
    EXPECT_GE(timeGetTime() - started, 25u);
    EXPECT_EQ(state.lastId, id);
    EXPECT_FALSE(state.onCallerThread);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(state.calls, 1);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);  // finished timers are gone
}

TEST_F(MultimediaTimerTest, AKilledTimerNeverRunsAgain) {
    CallbackState early;
    UINT id = timeSetEvent(300, 0, Count, reinterpret_cast<DWORD_PTR>(&early), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);

    // A periodic timer stops with the kill.
    CallbackState periodic;
    periodic.work = 50ms;
    UINT periodicId =
        timeSetEvent(5, 0, Count, reinterpret_cast<DWORD_PTR>(&periodic), TIME_PERIODIC);
    ASSERT_NE(periodicId, 0u);
    ASSERT_TRUE(WaitFor([&] { return periodic.calls >= 2; }));
    EXPECT_EQ(timeKillEvent(periodicId), TIMERR_NOERROR);
    int callsAtKill = periodic.calls;
    std::this_thread::sleep_for(500ms);  // the early one-shot's due time passes too
    EXPECT_EQ(periodic.calls, callsAtKill);
    EXPECT_EQ(early.calls, 0);
}

// On the virtual clock the callback's work cannot end before this thread waits in the kill, however
// late the host runs it.
TEST_F(MultimediaTimerTest, ARunningCallbackHasFinishedWhenKillReturns) {
    simclock::testing::VirtualClock clock;
    CallbackState state;
    state.work = 100ms;
    UINT id = timeSetEvent(1, 0, Count, reinterpret_cast<DWORD_PTR>(&state), TIME_ONESHOT);
    ASSERT_TRUE(WaitFor([&] { return state.inside.load(); }));
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_TRUE(state.finished);
}

TEST_F(MultimediaTimerTest, RefusedArgumentsAndPeriods) {
    CallbackState state;
    auto user = reinterpret_cast<DWORD_PTR>(&state);
    EXPECT_EQ(timeSetEvent(0, 0, Count, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(1000001, 0, Count, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(10, 0, nullptr, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(10, 0, Count, user, TIME_CALLBACK_EVENT_SET), 0u);
    EXPECT_EQ(timeKillEvent(0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    TIMECAPS caps{};
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof(caps)), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
}

// On a manual clock a timer fires only when the clock is advanced past its due time, and the
// time functions report the manual reading.
TEST_F(MultimediaTimerTest, ManualClockDrivesTimersAndTimeGetTime) {
    simclock::testing::ManualClock manual;
    CallbackState state;
    const DWORD started = timeGetTime();
    UINT id = timeSetEvent(50, 0, Count, reinterpret_cast<DWORD_PTR>(&state), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(state.calls, 0);
    EXPECT_EQ(timeGetTime(), started);

    manual.Advance(49ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(state.calls, 0);
    manual.Advance(1ms);
    ASSERT_TRUE(WaitFor([&] { return state.calls == 1; }));
    EXPECT_EQ(timeGetTime() - started, 50u);
}

}  // namespace
