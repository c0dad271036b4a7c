// Threads and user APCs.
#pragma once

#include "win32/handles.h"
#include "win32/types.h"

using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID lpThreadParameter);
using PTHREAD_START_ROUTINE = LPTHREAD_START_ROUTINE;
using PAPCFUNC = void(CALLBACK*)(ULONG_PTR Parameter);

#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
#define STILL_ACTIVE 259u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

// Starts lpStartAddress(lpParameter) on a new thread. The returned handle is signalled when the
// thread exits; the routine's result becomes the exit code. With CREATE_SUSPENDED the routine
// waits for ResumeThread. dwStackSize 0 takes the default size.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId);
// Returns the previous suspend count, or (DWORD)-1 on failure.
DWORD ResumeThread(HANDLE hThread);
// Ends the calling thread: its handle is signalled with dwExitCode, then the stack unwinds.
[[noreturn]] void ExitThread(DWORD dwExitCode);
// STILL_ACTIVE while the thread runs.
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);

// Priorities are accepted and stored; the threads of this process are scheduled alike.
BOOL SetThreadPriority(HANDLE hThread, int nPriority);
int GetThreadPriority(HANDLE hThread);

DWORD GetCurrentThreadId();
DWORD GetThreadId(HANDLE Thread);
// A pseudo handle meaning "the calling thread"; needs no CloseHandle.
HANDLE GetCurrentThread();
DWORD GetCurrentProcessId();
HANDLE GetCurrentProcess();

// Queues pfnAPC(dwData) to the thread. It runs on that thread only, inside one of its alertable
// waits (SleepEx, WaitFor...Ex with bAlertable TRUE). Returns 0 if the thread has exited.
DWORD QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData);
