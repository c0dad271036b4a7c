// The one wait lock of the process and the condition every blocked wait sleeps on.
#pragma once

#include <mutex>

#include "simclock/condition.h"

namespace win32::detail {

std::mutex& WaitMutex();
simclock::ConditionVariable& WaitCondition();

// Holds the wait lock and records that this thread holds it, so that WithWaitLock nests.
class WaitLockHolder {
  public:
    WaitLockHolder();
    ~WaitLockHolder();
    WaitLockHolder(const WaitLockHolder&) = delete;
    WaitLockHolder& operator=(const WaitLockHolder&) = delete;

    void Unlock();
    void Lock();
    // For waiting on WaitCondition(); the thread still counts as holding the lock.
    std::unique_lock<std::mutex>& Native() { return lock_; }

  private:
    std::unique_lock<std::mutex> lock_;
};

bool CurrentThreadHoldsWaitLock();

}  // namespace win32::detail
