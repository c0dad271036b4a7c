#include "hxmem32_testing.h"
#include "records.h"

namespace hxmem32 {

State& GlobalState() {
    static State state;
    return state;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (GlobalState(), true);

namespace testing {

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

}  // namespace testing
}  // namespace hxmem32
