// Objects and waits of the user-mode services: events, waits, sleeps and critical sections.
// Includes the thread, interlocked and timing declarations, so one include serves a user.
#pragma once

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/interlocked.h"
#include "win32/threads.h"
#include "win32/timing.h"
#include "win32/types.h"

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000u
#endif
#define EVENT_MODIFY_STATE 0x00000002u
#define EVENT_ALL_ACCESS 0x001F0003u

// Events. A manual-reset event stays signalled until ResetEvent and releases every waiter; an
// auto-reset event is cleared by the one wait it satisfies. Named events are shared within the
// process: a second CreateEvent of a name opens the same event and sets ERROR_ALREADY_EXISTS.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
inline HANDLE CreateEvent(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                          BOOL bInitialState, LPCSTR lpName) {
    return CreateEventA(lpEventAttributes, bManualReset, bInitialState, lpName);
}
HANDLE OpenEventA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
inline HANDLE OpenEvent(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) {
    return OpenEventA(dwDesiredAccess, bInheritHandle, lpName);
}
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// Waits. Time-outs in milliseconds, INFINITE or 0 (poll). Results: WAIT_OBJECT_0 + index,
// WAIT_TIMEOUT, WAIT_IO_COMPLETION (alertable waits that ran user APCs), WAIT_FAILED (see
// GetLastError). A wait-all is satisfied only when every object is signalled at once.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable);
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds);
DWORD WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                               DWORD dwMilliseconds, BOOL bAlertable);

void Sleep(DWORD dwMilliseconds);
// Returns 0 when the time elapsed, WAIT_IO_COMPLETION when an alertable sleep ran user APCs.
DWORD SleepEx(DWORD dwMilliseconds, BOOL bAlertable);

// Critical sections: re-entrant for the owning thread, no time-out. Our own layout: the record
// points at a lock that Initialize... creates and DeleteCriticalSection frees; it must not be
// copied while initialised.
struct CRITICAL_SECTION {
    void* Lock;
    ULONG_PTR SpinCount;  // accepted and stored; the lock does not spin
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
DWORD SetCriticalSectionSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
