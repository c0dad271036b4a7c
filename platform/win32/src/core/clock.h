// The one steady clock of the user-mode services' time functions.
#pragma once

#include <chrono>

namespace win32::detail {

// Time since the steady clock's epoch, plus the testing bias.
std::chrono::nanoseconds ClockNow();

// Shifts what the time functions report (not how long waits take), so that tests can place the
// 32-bit tick count just before its wrap. Reset with zero.
void SetClockBiasForTesting(std::chrono::nanoseconds bias);

}  // namespace win32::detail
