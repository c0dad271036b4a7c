// The user-mode time functions read the stand-ins' one clock (the kernel's timers and system time
// follow it too): a manual step shows in all of them at once.
#include <gtest/gtest.h>

#include <chrono>

#include "simclock/clock.h"
#include "win32/mmsystem.h"
#include "win32/timing.h"

namespace {

using namespace std::chrono_literals;

TEST(OneClock, ManualStepMovesEveryUserModeTime) {
    simclock::testing::ManualClock manual;
    LARGE_INTEGER counterBefore, counterAfter;
    QueryPerformanceCounter(&counterBefore);
    const ULONGLONG ticksBefore = GetTickCount64();
    const DWORD timeBefore = timeGetTime();
    const std::int64_t systemBefore = simclock::SystemTime100ns();

    manual.Advance(1500ms);
    QueryPerformanceCounter(&counterAfter);
    EXPECT_EQ(counterAfter.QuadPart - counterBefore.QuadPart, 15'000'000);
    EXPECT_EQ(GetTickCount64() - ticksBefore, 1500u);
    EXPECT_EQ(timeGetTime() - timeBefore, 1500u);
    EXPECT_EQ(simclock::SystemTime100ns() - systemBefore, 15'000'000);
}

}  // namespace
