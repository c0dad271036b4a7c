// Critical sections: a mutex plus the owning thread and its nesting depth, so that the owner may
// enter again. Only the owner changes the depth; the owner word is atomic because other threads
// read it to learn that they are not the owner.
#include <atomic>
#include <mutex>

#include "win32/sync.h"

namespace {

class SectionLock {
  public:
    void Enter() {
        if (OwnedByCaller()) {
            ++depth_;
            return;
        }
        mutex_.lock();
        Take();
    }

    bool TryEnter() {
        if (OwnedByCaller()) {
            ++depth_;
            return true;
        }
        if (!mutex_.try_lock())
            return false;
        Take();
        return true;
    }

    // A leave by a thread that does not own the section is ignored.
    void Leave() {
        if (!OwnedByCaller())
            return;
        if (--depth_ > 0)
            return;
        owner_.store(nullptr, std::memory_order_relaxed);
        mutex_.unlock();
    }

  private:
    // Any address unique to the calling thread serves as its owner token.
    static const void* CallerToken() {
        static thread_local char token;
        return &token;
    }
    bool OwnedByCaller() const { return owner_.load(std::memory_order_relaxed) == CallerToken(); }
    void Take() {
        owner_.store(CallerToken(), std::memory_order_relaxed);
        depth_ = 1;
    }

    std::mutex mutex_;
    std::atomic<const void*> owner_{nullptr};
    LONG depth_ = 0;  // written only by the owner
};

SectionLock& LockOf(LPCRITICAL_SECTION section) {
    return *static_cast<SectionLock*>(section->Lock);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    InitializeCriticalSectionAndSpinCount(lpCriticalSection, 0);
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                           DWORD dwSpinCount) {
    lpCriticalSection->Lock = new SectionLock;
    lpCriticalSection->SpinCount = dwSpinCount;
    return TRUE;
}

DWORD SetCriticalSectionSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount) {
    const auto previous = static_cast<DWORD>(lpCriticalSection->SpinCount);
    lpCriticalSection->SpinCount = dwSpinCount;
    return previous;
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete static_cast<SectionLock*>(lpCriticalSection->Lock);
    lpCriticalSection->Lock = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    LockOf(lpCriticalSection).Enter();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    return LockOf(lpCriticalSection).TryEnter() ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    LockOf(lpCriticalSection).Leave();
}
