#include "ke/lock_order.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "kernel/lockorder.h"
#include "kernel/rules.h"

namespace kernel::ke {
namespace {

struct Declared {
    std::mutex mutex;
    std::set<PKSPIN_LOCK> locks;
    std::atomic<std::size_t> count{0};
};

Declared& TheDeclared() {
    static Declared declared;
    return declared;
}

bool IsDeclared(PKSPIN_LOCK lock) {
    Declared& declared = TheDeclared();
    std::lock_guard guard(declared.mutex);
    return declared.locks.count(lock) != 0;
}

thread_local std::vector<PKSPIN_LOCK> t_held;

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
    t_held.push_back(lock);
}

void NoteReleased(PKSPIN_LOCK lock) {
    auto it = std::find(t_held.rbegin(), t_held.rend(), lock);
    if (it != t_held.rend())
        t_held.erase(std::next(it).base());
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
