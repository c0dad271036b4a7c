// Multimedia timers: timeSetEvent / timeKillEvent, timeBeginPeriod / timeEndPeriod, timeGetTime.
// Callbacks run on one timer thread of the process, one at a time. Timers run on the stand-ins'
// clock (simclock/clock.h): with a manual clock they fire when a test advances it past their due
// time (a periodic timer once per advance, however far it goes, as after a stall).
#pragma once

#include "win32/types.h"

using MMRESULT = UINT;

#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u
#define TIMERR_STRUCT 129u
#define MMSYSERR_NOERROR 0u
#define MMSYSERR_INVALPARAM 11u

#define TIME_ONESHOT 0x0000u
#define TIME_PERIODIC 0x0001u
#define TIME_CALLBACK_FUNCTION 0x0000u
#define TIME_CALLBACK_EVENT_SET 0x0010u
#define TIME_CALLBACK_EVENT_PULSE 0x0020u
#define TIME_KILL_SYNCHRONOUS 0x0100u

using LPTIMECALLBACK = void(CALLBACK*)(UINT uTimerID, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1,
                                       DWORD_PTR dw2);

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
using LPTIMECAPS = TIMECAPS*;

// Starts a timer: after uDelay ms (1..1000000) lpTimeProc(id, 0, dwUser, 0, 0) runs on the timer
// thread, once (TIME_ONESHOT) or every uDelay ms (TIME_PERIODIC). Returns the timer's id, or 0 when
// the arguments are refused. Only TIME_CALLBACK_FUNCTION callbacks are supported. The resolution
// is accepted and not used. A one-shot timer's id stays valid until its callback has returned.
MMRESULT WINAPI timeSetEvent(UINT uDelay, UINT uResolution, LPTIMECALLBACK lpTimeProc,
                             DWORD_PTR dwUser, UINT fuEvent);
// Cancels the timer. Once it returns the callback does not run again and is not running (unless
// called from the callback itself). MMSYSERR_INVALPARAM for an unknown or finished timer.
MMRESULT WINAPI timeKillEvent(UINT uTimerID);

// Accepted for 1..1000000 ms (TIMERR_NOERROR), else TIMERR_NOCANDO; they change nothing.
MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS ptc, UINT cbtc);
// Milliseconds of the services' steady clock (the same count as GetTickCount); wraps at 2^32.
DWORD WINAPI timeGetTime();

namespace win32::testing {

// Kills every timer, waiting for a running callback; for fixtures.
void KillAllMultimediaTimers();
std::size_t ActiveMultimediaTimerCount();

}  // namespace win32::testing
