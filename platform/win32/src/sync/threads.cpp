// Threads made by CreateThread run on detached POSIX threads; their record (and so their handle)
// outlives them. Other threads get a record on first use (core/thread_record.cpp).
#include <pthread.h>
#include <unistd.h>

#include <memory>

#include "core/object.h"
#include "core/thread_record.h"
#include "core/wait_lock.h"
#include "simclock/thread.h"
#include "win32/sync.h"

namespace {

using win32::detail::ThreadRecord;

struct StartInfo {
    std::shared_ptr<ThreadRecord> record;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

void* ThreadMain(void* arg) {
    std::shared_ptr<ThreadRecord> record;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    {
        std::unique_ptr<StartInfo> start(static_cast<StartInfo*>(arg));
        record = std::move(start->record);
        routine = start->routine;
        parameter = start->parameter;
    }
    simclock::AdoptEnlisted();
    win32::detail::AdoptAsCurrentThread(record);
    {
        win32::detail::WaitLockHolder lock;
        record->resumed.wait(lock.Native(), [&] { return record->suspendCount == 0; });
    }
    const DWORD exitCode = routine(parameter);
    win32::detail::FinishThread(record, exitCode);
    return nullptr;
}

bool IsAcceptedPriority(int priority) {
    switch (priority) {
        case THREAD_PRIORITY_IDLE:
        case THREAD_PRIORITY_LOWEST:
        case THREAD_PRIORITY_BELOW_NORMAL:
        case THREAD_PRIORITY_NORMAL:
        case THREAD_PRIORITY_ABOVE_NORMAL:
        case THREAD_PRIORITY_HIGHEST:
        case THREAD_PRIORITY_TIME_CRITICAL:
            return true;
        default:
            return false;
    }
}

std::shared_ptr<ThreadRecord> ThreadOf(HANDLE handle) {
    auto record = win32::detail::LookupHandleAs<ThreadRecord>(handle);
    if (!record)
        SetLastError(ERROR_INVALID_HANDLE);
    return record;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto record = std::make_shared<ThreadRecord>();
    if (dwCreationFlags & CREATE_SUSPENDED)
        record->suspendCount = 1;
    HANDLE handle = win32::detail::InsertHandle(record);
    if (!handle)
        return nullptr;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    size_t defaultStack = 0;
    pthread_attr_getstacksize(&attributes, &defaultStack);
    if (dwStackSize > defaultStack)
        pthread_attr_setstacksize(&attributes, dwStackSize);

    auto* start = new StartInfo{record, lpStartAddress, lpParameter};
    pthread_t thread;
    simclock::Enlist();  // a thread of the simulation from now, for the virtual clock
    const int error = pthread_create(&thread, &attributes, &ThreadMain, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        simclock::Withdraw();
        delete start;
        win32::detail::RemoveHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId)
        *lpThreadId = record->Id();
    return handle;
}

DWORD ResumeThread(HANDLE hThread) {
    auto record = ThreadOf(hThread);
    if (!record)
        return static_cast<DWORD>(-1);
    DWORD previous = 0;
    win32::detail::WithWaitLock([&] {
        previous = record->suspendCount;
        if (record->suspendCount > 0 && --record->suspendCount == 0)
            record->resumed.notify_all();
    });
    return previous;
}

void ExitThread(DWORD dwExitCode) {
    win32::detail::FinishThread(win32::detail::CurrentThreadRecord(), dwExitCode);
    pthread_exit(nullptr);
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto record = ThreadOf(hThread);
    if (!record)
        return FALSE;
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    win32::detail::WithWaitLock([&] { *lpExitCode = record->exitCode; });
    return TRUE;
}

BOOL SetThreadPriority(HANDLE hThread, int nPriority) {
    auto record = ThreadOf(hThread);
    if (!record)
        return FALSE;
    if (!IsAcceptedPriority(nPriority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    record->priority.store(nPriority);
    return TRUE;
}

int GetThreadPriority(HANDLE hThread) {
    auto record = ThreadOf(hThread);
    if (!record)
        return THREAD_PRIORITY_ERROR_RETURN;
    return record->priority.load();
}

DWORD GetCurrentThreadId() {
    return win32::detail::CurrentThreadRecord()->Id();
}

DWORD GetThreadId(HANDLE Thread) {
    auto record = ThreadOf(Thread);
    return record ? record->Id() : 0;
}

HANDLE GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

HANDLE GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

DWORD QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData) {
    if (!pfnAPC) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto record = ThreadOf(hThread);
    if (!record)
        return 0;
    if (!win32::detail::TryQueueApc(record, [pfnAPC, dwData] { pfnAPC(dwData); })) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    return 1;
}
