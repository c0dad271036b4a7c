// A recursive lock that knows its owner, so that an unlock by a thread that does not hold it is
// refused instead of corrupting the lock. Held across calls by the list-lock entries.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace hxmem32 {

class OwnerLock {
  public:
    void Lock() {
        const auto self = std::this_thread::get_id();
        std::unique_lock lock(mutex_);
        if (depth_ > 0 && owner_ == self) {
            ++depth_;
            return;
        }
        released_.wait(lock, [this] { return depth_ == 0; });
        owner_ = self;
        depth_ = 1;
    }

    // False when the calling thread does not hold the lock.
    bool Unlock() {
        std::lock_guard lock(mutex_);
        if (depth_ == 0 || owner_ != std::this_thread::get_id())
            return false;
        if (--depth_ == 0) {
            owner_ = {};
            released_.notify_one();
        }
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    unsigned depth_ = 0;
};

// Holds an OwnerLock for one scope.
class OwnerLockGuard {
  public:
    explicit OwnerLockGuard(OwnerLock& lock) : lock_(lock) { lock_.Lock(); }
    ~OwnerLockGuard() { lock_.Unlock(); }
    OwnerLockGuard(const OwnerLockGuard&) = delete;
    OwnerLockGuard& operator=(const OwnerLockGuard&) = delete;

  private:
    OwnerLock& lock_;
};

}  // namespace hxmem32
