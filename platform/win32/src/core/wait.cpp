// The one wait loop behind every wait and alertable sleep. Objects are checked and consumed under
// the wait lock, so an auto-reset event satisfies exactly one wait and a wait-all takes all of its
// objects at once or none of them. A wait that starts with an object signalled returns it, even
// when APCs are queued (they run in the next alertable wait); a blocked wait ends with whichever
// comes first: an object it waits for (satisfied by the signalling thread, in the order the waits
// started) or, when alertable, an APC (WAIT_IO_COMPLETION once every queued APC has run).
#include <algorithm>
#include <cassert>
#include <chrono>
#include <optional>

#include "core/object.h"
#include "core/thread_record.h"
#include "core/wait_block.h"
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

DWORD RunApcsAfterWait(WaitLockHolder& lock, ThreadRecord& self) {
    lock.Unlock();
    RunQueuedApcs(self);
    return WAIT_IO_COMPLETION;
}

}  // namespace

bool EndWait(WaitBlock& block, DWORD result) {
    if (block.result)
        return false;
    block.result = result;
    block.wake.notify_one();
    return true;
}

void SignalWaiters(Object& object) {
    for (std::size_t i = 0; i < object.waiters_.size() && object.IsSignaled(); ++i) {
        WaitBlock& block = *object.waiters_[i];
        if (block.result)
            continue;
        if (auto result = TrySatisfy(block.objects, block.waitAll))
            EndWait(block, *result);
    }
}

DWORD WaitForObjects(std::span<const std::shared_ptr<Object>> objects, bool waitAll,
                     DWORD timeoutMs, bool alertable) {
    assert(!CurrentThreadHoldsWaitLock() && "a wait must not start under the wait lock");
    if (CurrentThreadHoldsWaitLock()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const std::shared_ptr<ThreadRecord> self = CurrentThreadRecord();
    // A timeout lasts on the stand-ins' clock.
    const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));

    WaitLockHolder lock;
    if (auto result = TrySatisfy(objects, waitAll))
        return *result;
    if (alertable && !self->apcs.empty())
        return RunApcsAfterWait(lock, *self);
    if (timeoutMs == 0)
        return WAIT_TIMEOUT;

    WaitBlock block;
    block.objects = objects;
    block.waitAll = waitAll;
    block.alertable = alertable;
    for (const auto& object : objects)
        object->waiters_.push_back(&block);
    self->blockedWait = &block;
    while (!block.result) {
        if (timeoutMs == INFINITE) {
            block.wake.wait(lock.Native());
        } else if (block.wake.wait_until(lock.Native(), deadline) == std::cv_status::timeout) {
            ++self->wakeups;
            break;
        }
        ++self->wakeups;
    }
    self->blockedWait = nullptr;
    for (const auto& object : objects)
        std::erase(object->waiters_, &block);

    if (!block.result)
        return WAIT_TIMEOUT;
    if (*block.result == WAIT_IO_COMPLETION)
        return RunApcsAfterWait(lock, *self);
    return *block.result;
}

bool IsBlockedInWait(const ThreadRecord& thread) {
    WaitLockHolder lock;
    return thread.blockedWait != nullptr && !thread.blockedWait->result;
}

std::uint64_t WakeupsOf(const ThreadRecord& thread) {
    WaitLockHolder lock;
    return thread.wakeups;
}

}  // namespace win32::detail
