#include "core/wait_lock.h"

#include "core/object.h"

namespace win32::detail {
namespace {

thread_local bool t_holdsWaitLock = false;

}  // namespace

// Never destroyed: threads that outlive main may still signal objects during static destruction.
std::mutex& WaitMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

WaitLockHolder::WaitLockHolder() : lock_(WaitMutex()) {
    t_holdsWaitLock = true;
}

WaitLockHolder::~WaitLockHolder() {
    if (lock_.owns_lock())
        t_holdsWaitLock = false;
}

void WaitLockHolder::Unlock() {
    t_holdsWaitLock = false;
    lock_.unlock();
}

void WaitLockHolder::Lock() {
    lock_.lock();
    t_holdsWaitLock = true;
}

bool CurrentThreadHoldsWaitLock() {
    return t_holdsWaitLock;
}

void WithWaitLock(const std::function<void()>& change) {
    if (t_holdsWaitLock) {
        change();
        return;
    }
    WaitLockHolder holder;
    change();
}

}  // namespace win32::detail
