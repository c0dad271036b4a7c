// The one wait loop behind every wait and alertable sleep. Objects are checked and consumed under
// the wait lock, so an auto-reset event satisfies exactly one wait and a wait-all takes all of its
// objects at once or none of them. An alertable wait runs the thread's queued APCs first. Timeouts
// run on the stand-ins' clock.
#include <cassert>
#include <chrono>
#include <optional>

#include "core/object.h"
#include "core/thread_record.h"
#include "core/wait_lock.h"
#include "win32/sync.h"

namespace win32::detail {
namespace {

std::optional<DWORD> TrySatisfy(std::span<const std::shared_ptr<Object>> objects, bool waitAll) {
    if (objects.empty())
        return std::nullopt;
    if (waitAll) {
        for (const auto& object : objects)
            if (!object->IsSignaled())
                return std::nullopt;
        for (const auto& object : objects)
            object->Consume();
        return WAIT_OBJECT_0;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignaled()) {
            objects[i]->Consume();
            return static_cast<DWORD>(WAIT_OBJECT_0 + i);
        }
    }
    return std::nullopt;
}

}  // namespace

DWORD WaitForObjects(std::span<const std::shared_ptr<Object>> objects, bool waitAll,
                     DWORD timeoutMs, bool alertable) {
    assert(!CurrentThreadHoldsWaitLock() && "a wait must not start under the wait lock");
    if (CurrentThreadHoldsWaitLock()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const std::shared_ptr<ThreadRecord> self = CurrentThreadRecord();
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));

    WaitLockHolder lock;
    for (;;) {
        if (alertable && !self->apcs.empty()) {
            lock.Unlock();
            RunQueuedApcs(*self);
            return WAIT_IO_COMPLETION;
        }
        if (auto result = TrySatisfy(objects, waitAll))
            return *result;
        if (infinite) {
            WaitCondition().wait(lock.Native());
        } else {
            if (deadline.Passed())
                return WAIT_TIMEOUT;
            WaitCondition().wait_until(lock.Native(), deadline);
        }
    }
}

}  // namespace win32::detail
