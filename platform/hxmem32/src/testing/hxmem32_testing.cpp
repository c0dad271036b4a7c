// The buffer manager's test hooks, built into its test-only library beside its code.
#include "hxmem32_testing.h"

#include "records.h"

namespace hxmem32::testing {

std::size_t LiveBuffers() {
    return GlobalState().buffers.Size();
}

std::size_t LiveLists() {
    return GlobalState().lists.Size();
}

void Reset() {
    State& state = GlobalState();
    for (const auto& list : state.lists.RemoveAll()) {
        OwnerLockGuard guard(list->lock);
        list->freed = true;
    }
    for (const auto& buffer : state.buffers.RemoveAll()) {
        std::lock_guard lock(buffer->mutex);
        buffer->freed = true;
    }
    state.lastStamp = 0;
}

}  // namespace hxmem32::testing
