// The one wait lock of the process. Blocked waits sleep on conditions of their own (WaitBlock).
#pragma once

#include <condition_variable>
#include <mutex>

namespace win32::detail {

std::mutex& WaitMutex();

// Holds the wait lock and records that this thread holds it, so that WithWaitLock nests.
class WaitLockHolder {
  public:
    WaitLockHolder();
    ~WaitLockHolder();
    WaitLockHolder(const WaitLockHolder&) = delete;
    WaitLockHolder& operator=(const WaitLockHolder&) = delete;

    void Unlock();
    void Lock();
    // For waiting on a condition; the thread still counts as holding the lock.
    std::unique_lock<std::mutex>& Native() { return lock_; }

  private:
    std::unique_lock<std::mutex> lock_;
};

bool CurrentThreadHoldsWaitLock();

}  // namespace win32::detail
