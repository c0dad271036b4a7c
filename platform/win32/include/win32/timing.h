// Tick counts and the performance counter. All read one steady clock, so their differences agree.
#pragma once

#include "win32/types.h"

// Milliseconds of the steady clock; the 32-bit count wraps after about 49.7 days.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

// The performance counter runs at 10 MHz (100 ns per count). Both always succeed.
BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
