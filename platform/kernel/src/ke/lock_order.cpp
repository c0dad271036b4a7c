#include "ke/lock_order.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

#include "kernel/lockorder.h"
#include "kernel/rules.h"

namespace kernel::ke {
namespace {

struct Declared {
    std::mutex mutex;
    std::set<PKSPIN_LOCK> locks;
    std::atomic<std::size_t> count{0};
};

// Never destroyed: threads that end after the process's static objects are gone still take spin
// locks (their exit cancels their requests).
Declared& TheDeclared() {
    static Declared* const declared = new Declared;
    return *declared;
}

bool IsDeclared(PKSPIN_LOCK lock) {
    Declared& declared = TheDeclared();
    std::lock_guard guard(declared.mutex);
    return declared.locks.count(lock) != 0;
}

// Trivially destructible, so that spin locks still work in other thread-exit hooks. Locks beyond
// the first kTracked held at once are counted but not checked.
constexpr int kTracked = 16;
struct HeldLocks {
    PKSPIN_LOCK locks[kTracked];
    int count;
    PKSPIN_LOCK* begin() { return locks; }
    PKSPIN_LOCK* end() { return locks + (count < kTracked ? count : kTracked); }
};
thread_local HeldLocks t_held;

}  // namespace

void NoteAcquiring(PKSPIN_LOCK lock) {
    if (TheDeclared().count.load(std::memory_order_relaxed) != 0) {
        const PKSPIN_LOCK cancel = io::CancelSpinLock();
        const bool together =
            lock == cancel ? std::any_of(t_held.begin(), t_held.end(), IsDeclared)
                           : IsDeclared(lock) &&
                                 std::find(t_held.begin(), t_held.end(), cancel) != t_held.end();
        if (together)
            ReportRuleViolation("a queue lock and the cancel spin lock held together");
    }
    if (t_held.count < kTracked)
        t_held.locks[t_held.count] = lock;
    ++t_held.count;
}

void NoteReleased(PKSPIN_LOCK lock) {
    PKSPIN_LOCK* end = t_held.end();
    PKSPIN_LOCK* found = std::find(t_held.begin(), end, lock);
    if (found != end) {
        std::copy(found + 1, end, found);
        --t_held.count;
    } else if (t_held.count > kTracked) {
        --t_held.count;  // one of the untracked
    }
}

}  // namespace kernel::ke

namespace kernel {

void DeclareQueueLock(PKSPIN_LOCK lock) {
    auto& declared = ke::TheDeclared();
    std::lock_guard guard(declared.mutex);
    declared.locks.insert(lock);
    declared.count = declared.locks.size();
}

void ForgetQueueLock(PKSPIN_LOCK lock) {
    auto& declared = ke::TheDeclared();
    std::lock_guard guard(declared.mutex);
    declared.locks.erase(lock);
    declared.count = declared.locks.size();
}

}  // namespace kernel
