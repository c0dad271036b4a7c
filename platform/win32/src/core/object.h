// Internal object model of the user-mode services: the process's handle table, waitable objects
// and the per-thread records that carry user APC queues. Private to platform/win32.
#pragma once

#include <functional>
#include <memory>

#include "win32/types.h"

namespace win32::detail {

// Anything a HANDLE can name. CloseHandle removes the handle from the table and calls OnClose on
// the closing thread; the object itself lives while anyone still holds a reference.
class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object() = default;
    virtual void OnClose() {}
    // Waitable objects override both. IsSignaled and Consume are called with the wait lock held.
    virtual bool IsWaitable() const { return false; }
    virtual bool IsSignaled() const { return false; }
    virtual void Consume() {}  // what a satisfied wait does to the object (auto-reset clears it)
};

// Handle table. Tokens are small nonzero values; a closed token is not reused until the table
// has cycled through its generation counter, so a stale handle is refused.
HANDLE InsertHandle(std::shared_ptr<Object> object);
std::shared_ptr<Object> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Every change of a waitable object's state goes through the wait lock and ends with
// NotifyWaiters, so that blocked waits re-check their objects.
void WithWaitLock(const std::function<void()>& change);
void NotifyWaiters();

// A thread as the services know it: created by CreateThread or adopted on first use.
class ThreadRecord;
std::shared_ptr<ThreadRecord> CurrentThreadRecord();
DWORD ThreadIdOf(const ThreadRecord& thread);

// Queues a user APC to a thread. It runs on that thread only, inside one of its alertable waits
// (SleepEx / WaitFor...Ex with alertable TRUE). Safe from any thread.
void QueueApc(const std::shared_ptr<ThreadRecord>& thread, std::function<void()> routine);

}  // namespace win32::detail
