// Spin-lock wrappers: acquire either from DISPATCH_LEVEL (the caller says it runs there; the saved
// level is then DISPATCH_LEVEL) or raising the level and saving the old one; release by the saved
// value. SpinLockHold holds one for a scope.
#pragma once

#include "kernel/wdm.h"

namespace wdm {

class SpinLock {
  public:
    SpinLock() { KeInitializeSpinLock(&lock_); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;

    void Acquire(bool atDispatchLevel = false) {
        if (atDispatchLevel) {
            KeAcquireSpinLockAtDpcLevel(&lock_);
            saved_ = DISPATCH_LEVEL;
        } else {
            KIRQL old;
            KeAcquireSpinLock(&lock_, &old);
            saved_ = old;
        }
    }
    void Release() {
        const KIRQL saved = saved_;
        if (saved == DISPATCH_LEVEL)
            KeReleaseSpinLockFromDpcLevel(&lock_);
        else
            KeReleaseSpinLock(&lock_, saved);
    }
    // Releases the lock and stays at DISPATCH_LEVEL; returns the level to go back to later.
    KIRQL ReleaseKeepingDispatchLevel() {
        const KIRQL saved = saved_;
        KeReleaseSpinLockFromDpcLevel(&lock_);
        return saved;
    }
    PKSPIN_LOCK Object() { return &lock_; }

  private:
    KSPIN_LOCK lock_;
    KIRQL saved_ = PASSIVE_LEVEL;  // written only while the lock is held
};

// The lock interface of lists that need no lock: both operations do nothing.
class NoLock {
  public:
    void Acquire(bool = false) {}
    void Release() {}
};

template <class Lock>
class LockHold {
  public:
    explicit LockHold(Lock& lock, bool atDispatchLevel = false) : lock_(&lock) {
        lock_->Acquire(atDispatchLevel);
    }
    ~LockHold() { Unlock(); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;
    void Unlock() {
        if (lock_ != nullptr)
            lock_->Release();
        lock_ = nullptr;
    }

  private:
    Lock* lock_;
};
using SpinLockHold = LockHold<SpinLock>;

}  // namespace wdm
