// List entries: a list is a queue of buffer handles behind its own recursive owner lock. Lock
// order: a list's lock before a buffer's.
#include "records.h"

namespace hxmem32 {
namespace {

// Runs `action` on the live list of `handle` with the list lock held; HXBADLISTHANDLE for a
// freed, stale or foreign handle.
template <typename Action>
std::uint32_t WithList(HLIST handle, Action&& action) {
    const std::shared_ptr<List> list = GlobalState().lists.Find(handle);
    if (list == nullptr)
        return HXBADLISTHANDLE;
    OwnerLockGuard guard(list->lock);
    if (list->freed)
        return HXBADLISTHANDLE;
    return action(*list);
}

// Runs `action` on the live buffer of `handle` with its lock held (the caller may hold a list
// lock: list before buffer); HXINVALIDHBUF for a freed, stale or foreign handle.
template <typename Action>
std::uint32_t WithLiveBuffer(HBUF handle, Action&& action) {
    const std::shared_ptr<Buffer> buffer = GlobalState().buffers.Find(handle);
    if (buffer == nullptr)
        return HXINVALIDHBUF;
    std::lock_guard lock(buffer->mutex);
    if (buffer->freed)
        return HXINVALIDHBUF;
    return action(*buffer);
}

// Removes the head of the list into *out (0 when empty); `toProcess` puts it in process in the
// same step.
std::uint32_t TakeHead(HLIST handle, HBUF* out, bool toProcess) {
    if (out == nullptr)
        return HXBADLISTHANDLE;
    return WithList(handle, [&](List& list) -> uint32_t {
        HBUF head = 0;
        if (!list.buffers.empty()) {
            head = list.buffers.front();
            list.buffers.pop_front();
            // A buffer on a list cannot be freed, so the head is always live.
            if (const auto buffer = GlobalState().buffers.Find(head)) {
                std::lock_guard lock(buffer->mutex);
                buffer->list = 0;
                buffer->inProcess = toProcess;
            }
        }
        *out = head;
        return 0u;
    });
}

}  // namespace
}  // namespace hxmem32

using hxmem32::Buffer;
using hxmem32::GlobalState;
using hxmem32::List;
using hxmem32::WithList;

extern "C" {

uint32_t HXMEMAPI hxDmCreateList(HLIST* list, uint32_t, uint32_t, uint32_t) {
    if (list == nullptr)
        return HXCANTALLOCLIST;
    const HLIST handle = GlobalState().lists.Insert(std::make_shared<List>());
    if (handle == 0)
        return HXCANTALLOCLIST;
    *list = handle;
    return 0;
}

uint32_t HXMEMAPI hxDmFreeList(HLIST handle) {
    const uint32_t status = WithList(handle, [](List& list) -> uint32_t {
        if (!list.buffers.empty())
            return HXLISTNOTEMPTY;
        list.freed = true;
        return 0u;
    });
    if (status == 0)
        GlobalState().lists.Remove(handle);
    return status;
}

uint32_t HXMEMAPI hxDmPutBufferToList(HLIST handle, HBUF bufferHandle) {
    return WithList(handle, [&](List& list) -> uint32_t {
        const std::shared_ptr<Buffer> buffer = GlobalState().buffers.Find(bufferHandle);
        if (buffer == nullptr)
            return HXINVALIDHBUF;
        std::lock_guard lock(buffer->mutex);
        if (buffer->freed)
            return HXINVALIDHBUF;
        if (buffer->list != 0)
            return HXBUFFERONLIST;
        if (buffer->inProcess)
            return HXBUFFERLOCKED;
        buffer->list = handle;
        list.buffers.push_back(bufferHandle);
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetBufferFromList(HLIST handle, HBUF* out) {
    return hxmem32::TakeHead(handle, out, false);
}

uint32_t HXMEMAPI hxDmGetBufferForProcess(HLIST handle, HBUF* out) {
    return hxmem32::TakeHead(handle, out, true);
}

uint32_t HXMEMAPI hxDmEndBufferProcess(HBUF bufferHandle, HLIST handle) {
    const auto leave = [](Buffer& buffer) -> uint32_t {
        if (!buffer.inProcess)
            return HXBUFFERNOTLOCKED;
        buffer.inProcess = false;
        return 0u;
    };
    if (handle == 0)
        return hxmem32::WithLiveBuffer(bufferHandle, leave);
    return WithList(handle, [&](List& list) -> uint32_t {
        const uint32_t status = hxmem32::WithLiveBuffer(bufferHandle, [&](Buffer& buffer) {
            const uint32_t left = leave(buffer);
            if (left == 0)
                buffer.list = handle;
            return left;
        });
        if (status == 0)
            list.buffers.push_back(bufferHandle);
        return status;
    });
}

uint32_t HXMEMAPI hxDmGetListCount(HLIST handle, uint32_t* count) {
    if (count == nullptr)
        return HXBADLISTHANDLE;
    return WithList(handle, [&](List& list) -> uint32_t {
        *count = static_cast<uint32_t>(list.buffers.size());
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmLockList(HLIST handle) {
    const std::shared_ptr<List> list = GlobalState().lists.Find(handle);
    if (list == nullptr)
        return HXBADLISTHANDLE;
    list->lock.Lock();
    if (list->freed) {
        list->lock.Unlock();
        return HXBADLISTHANDLE;
    }
    return 0;
}

uint32_t HXMEMAPI hxDmUnlockList(HLIST handle) {
    const std::shared_ptr<List> list = GlobalState().lists.Find(handle);
    if (list == nullptr)
        return HXBADLISTHANDLE;
    return list->lock.Unlock() ? 0 : HXBUFFERNOTLOCKED;
}

}  // extern "C"
