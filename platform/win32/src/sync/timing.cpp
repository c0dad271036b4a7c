#include <chrono>

#include "core/clock.h"
#include "win32/timing.h"

namespace {

constexpr LONGLONG kPerformanceFrequency = 10'000'000;  // 100 ns per count

}  // namespace

ULONGLONG GetTickCount64() {
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(win32::detail::ClockNow()).count());
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    lpPerformanceCount->QuadPart = win32::detail::ClockNow().count() / 100;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    lpFrequency->QuadPart = kPerformanceFrequency;
    return TRUE;
}
