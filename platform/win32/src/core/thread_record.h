// The services' record of one thread: its id, exit state, priority and user APC queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "core/object.h"
#include "simclock/condition.h"
#include "win32/threads.h"

namespace win32::detail {

class ThreadRecord final : public Object {
  public:
    ThreadRecord();
    DWORD Id() const { return id_; }

    // A thread's handle is signalled once the thread has exited.
    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return exited; }

    // Guarded by the wait lock.
    std::deque<std::function<void()>> apcs;
    bool exited = false;
    bool acceptsApcs = true;  // cleared at exit, just before the pending APCs are dropped
    DWORD exitCode = STILL_ACTIVE;
    DWORD suspendCount = 0;
    WaitBlock* blockedWait = nullptr;     // the thread's wait while it is blocked
    std::uint64_t wakeups = 0;            // times a blocked wait of the thread woke up
    simclock::ConditionVariable resumed;  // a suspended thread made by CreateThread waits here

    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};

  private:
    const DWORD id_;
};

// For tests: whether the thread is blocked in a wait, and how often its blocked waits woke up.
bool IsBlockedInWait(const ThreadRecord& thread);
std::uint64_t WakeupsOf(const ThreadRecord& thread);

// Makes record the calling thread's record (done by the CreateThread trampoline before the start
// routine runs).
void AdoptAsCurrentThread(std::shared_ptr<ThreadRecord> record);

// Runs the exit hooks, then marks the thread exited with exitCode, signals its handle and drops
// its pending APCs. Only the first call for a record has an effect.
void FinishThread(const std::shared_ptr<ThreadRecord>& record, DWORD exitCode);

// Runs the calling thread's queued APCs, oldest first, until none is left (including any queued
// meanwhile). Called without the wait lock. Returns whether any ran.
bool RunQueuedApcs(ThreadRecord& self);

}  // namespace win32::detail
