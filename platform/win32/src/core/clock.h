// The user-mode services read the stand-ins' one clock (simclock/clock.h), which the kernel's
// timers follow too.
#pragma once

#include <chrono>

namespace win32::detail {

// The clock's reading (time since the host steady clock's epoch, plus the testing bias, or the
// manual clock's reading).
std::chrono::nanoseconds ClockNow();

// Shifts what the time functions report (not how long waits take), so that tests can place the
// 32-bit tick count just before its wrap. Reset with zero.
void SetClockBiasForTesting(std::chrono::nanoseconds bias);

}  // namespace win32::detail
