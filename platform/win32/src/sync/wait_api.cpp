#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/object.h"
#include "simclock/condition.h"
#include "win32/sync.h"

namespace {

using win32::detail::Object;

// Resolves the handles; false (with the last error set) if one names no waitable object or a
// wait-all names one object twice.
bool ResolveWaitables(DWORD count, const HANDLE* handles, bool waitAll,
                      std::vector<std::shared_ptr<Object>>& objects) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = win32::detail::LookupHandle(handles[i]);
        if (!object || !object->IsWaitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        if (waitAll) {
            for (const auto& earlier : objects) {
                if (earlier == object) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return false;
                }
            }
        }
        objects.push_back(std::move(object));
    }
    return true;
}

}  // namespace

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, FALSE);
}

DWORD WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable) {
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, bAlertable);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds) {
    return WaitForMultipleObjectsEx(nCount, lpHandles, bWaitAll, dwMilliseconds, FALSE);
}

DWORD WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                               DWORD dwMilliseconds, BOOL bAlertable) {
    std::vector<std::shared_ptr<Object>> objects;
    if (!ResolveWaitables(nCount, lpHandles, bWaitAll, objects))
        return WAIT_FAILED;
    return win32::detail::WaitForObjects(objects, bWaitAll, dwMilliseconds, bAlertable);
}

void Sleep(DWORD dwMilliseconds) {
    SleepEx(dwMilliseconds, FALSE);
}

DWORD SleepEx(DWORD dwMilliseconds, BOOL bAlertable) {
    if (bAlertable) {
        const DWORD result = win32::detail::WaitForObjects({}, false, dwMilliseconds, true);
        return result == WAIT_IO_COMPLETION ? WAIT_IO_COMPLETION : 0;
    }
    // A plain sleep neither runs APCs nor is woken by them; it lasts on the stand-ins' clock.
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
    } else if (dwMilliseconds == INFINITE) {
        for (;;)
            simclock::SleepFor(std::chrono::hours(24));
    } else {
        simclock::SleepFor(std::chrono::milliseconds(dwMilliseconds));
    }
    return 0;
}
