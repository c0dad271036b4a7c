// `KernelEvent` and `KernelMutex`: kernel dispatcher objects initialised in place, with waits that
// take the platform's 64-bit timeout (0 in Wait means "no limit" only where said).
#pragma once

#include "kernel/wdm.h"

namespace wdm {

class KernelEvent {
  public:
    KernelEvent(EVENT_TYPE type, bool signalled) {
        KeInitializeEvent(&event_, type, signalled ? TRUE : FALSE);
    }
    KernelEvent(const KernelEvent&) = delete;
    KernelEvent& operator=(const KernelEvent&) = delete;

    LONG Set() { return KeSetEvent(&event_, IO_NO_INCREMENT, FALSE); }
    void Clear() { KeClearEvent(&event_); }
    bool IsSignalled() { return KeReadStateEvent(&event_) != 0; }
    // Waits without limit.
    NTSTATUS Wait() {
        return KeWaitForSingleObject(&event_, Executive, KernelMode, FALSE, nullptr);
    }
    // timeout in 100 ns units, negative relative (the kernel's convention); 0 polls.
    NTSTATUS Wait(LONGLONG timeout) {
        LARGE_INTEGER due;
        due.QuadPart = timeout;
        return KeWaitForSingleObject(&event_, Executive, KernelMode, FALSE, &due);
    }
    PKEVENT Object() { return &event_; }

  private:
    KEVENT event_;
};

class KernelMutex {
  public:
    explicit KernelMutex(ULONG level) : level_(level) { KeInitializeMutex(&mutex_, level); }
    KernelMutex(const KernelMutex&) = delete;
    KernelMutex& operator=(const KernelMutex&) = delete;

    void Acquire() { KeWaitForSingleObject(&mutex_, Executive, KernelMode, FALSE, nullptr); }
    void Release() { KeReleaseMutex(&mutex_, FALSE); }
    ULONG Level() const { return level_; }
    PKMUTEX Object() { return &mutex_; }

  private:
    KMUTEX mutex_;
    ULONG level_;
};

// Holds a KernelMutex for a scope.
class MutexHold {
  public:
    explicit MutexHold(KernelMutex& mutex) : mutex_(&mutex) { mutex_->Acquire(); }
    ~MutexHold() { Unlock(); }
    MutexHold(const MutexHold&) = delete;
    MutexHold& operator=(const MutexHold&) = delete;
    // Releases early; the destructor then does nothing.
    void Unlock() {
        if (mutex_ != nullptr)
            mutex_->Release();
        mutex_ = nullptr;
    }

  private:
    KernelMutex* mutex_;
};

}  // namespace wdm
