// Internal object model of the user-mode services: the process's handle table, waitable objects
// and the per-thread records that carry user APC queues. Private to platform/win32.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "win32/types.h"

namespace win32::detail {

class HandleTable;

struct WaitBlock;

// Anything a HANDLE can name. CloseHandle removes the handle from the table; when the last handle
// naming the object goes, OnClose runs on the closing thread. The object itself lives while anyone
// still holds a reference.
class Object : public std::enable_shared_from_this<Object> {
  public:
    virtual ~Object() = default;
    virtual void OnClose() {}
    // Waitable objects override both. IsSignaled and Consume are called with the wait lock held.
    virtual bool IsWaitable() const { return false; }
    virtual bool IsSignaled() const { return false; }
    virtual void Consume() {}  // what a satisfied wait does to the object (auto-reset clears it)

  private:
    friend class HandleTable;
    friend void SignalWaiters(Object& object);
    friend DWORD WaitForObjects(std::span<const std::shared_ptr<Object>>, bool, DWORD, bool);
    int handleCount_ = 0;  // handles naming this object; guarded by the handle table's lock
    std::vector<WaitBlock*> waiters_;  // blocked waits on this object, oldest first; wait lock
};

// Handle table. Tokens are small nonzero values; a closed token is not reused until the table
// has cycled through its generation counter, so a stale handle is refused.
// InsertHandle returns nullptr (ERROR_NO_SYSTEM_RESOURCES) when the table is full. LookupHandle
// returns nullptr for a stale, foreign or null handle; the pseudo handle of GetCurrentThread
// names the calling thread's record.
HANDLE InsertHandle(std::shared_ptr<Object> object);
std::shared_ptr<Object> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes the handle and runs OnClose if it was the object's last one. False for an unknown one.
bool RemoveHandle(HANDLE handle);
std::size_t OpenHandleCount();  // for leak checks in tests

// Every change of a waitable object's state happens under the wait lock. A change that may have
// signalled the object ends with SignalWaiters, which satisfies the object's blocked waits in the
// order they started, as long as the object stays signalled, and wakes just those threads.
// WithWaitLock may be nested on one thread (the inner call just runs the change). Waits must not
// start while holding it.
void WithWaitLock(const std::function<void()>& change);
void SignalWaiters(Object& object);

// Waits on objects that need not be in the handle table (all must be waitable). Same results as
// WaitForMultipleObjectsEx: WAIT_OBJECT_0 + index, WAIT_TIMEOUT, WAIT_IO_COMPLETION. An empty
// list with a time-out is an alertable or plain sleep.
DWORD WaitForObjects(std::span<const std::shared_ptr<Object>> objects, bool waitAll,
                     DWORD timeoutMs, bool alertable);

// A thread as the services know it: created by CreateThread or adopted on first use.
// (Defined in core/thread_record.h.)
class ThreadRecord;
std::shared_ptr<ThreadRecord> CurrentThreadRecord();
DWORD ThreadIdOf(const ThreadRecord& thread);

// Queues a user APC to a thread. It runs on that thread only, inside one of its alertable waits
// (SleepEx / WaitFor...Ex with alertable TRUE). Safe from any thread. A routine queued to a thread
// that has exited is dropped (destroyed without running); TryQueueApc then returns false.
void QueueApc(const std::shared_ptr<ThreadRecord>& thread, std::function<void()> routine);
bool TryQueueApc(const std::shared_ptr<ThreadRecord>& thread, std::function<void()> routine);

// Called on a thread that is exiting, before its handle is signalled and its remaining APCs are
// dropped (for example to cancel the I/O it issued). For threads not made by CreateThread this
// happens during their thread-local destruction. Returns an id for RemoveThreadExitHook.
using ThreadExitHook = std::function<void(const std::shared_ptr<ThreadRecord>& exiting)>;
int AddThreadExitHook(ThreadExitHook hook);
void RemoveThreadExitHook(int id);

}  // namespace win32::detail
