// The observer of read completions that a program may install to time the path above the
// driver. Installing and removing take a lock; a completion checks a flag first, so that
// without an observer it costs one relaxed load.
#include <atomic>
#include <utility>

#include "host/built_at_load.h"
#include "io/io_manager.h"
#include "kernel/testing.h"

namespace kernel::io {

namespace {

struct ObserverSlot {
    std::atomic<bool> installed{false};
    host::Lock lock;  // held while the observer runs, so that removal waits for it
    testing::CompletionObserver observer;
};

ObserverSlot& Slot() {
    static ObserverSlot slot;
    return slot;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&Slot);

}  // namespace

void ObserveReadCompletion(const void* userBuffer, std::size_t bytes) {
    ObserverSlot& slot = Slot();
    if (!slot.installed.load(std::memory_order_relaxed))
        return;
    host::Guard guard(slot.lock);
    if (slot.observer)
        slot.observer(userBuffer, bytes);
}

}  // namespace kernel::io

namespace kernel::testing {

void SetCompletionObserver(CompletionObserver observer) {
    io::ObserverSlot& slot = io::Slot();
    CompletionObserver previous;
    {
        host::Guard guard(slot.lock);
        previous = std::exchange(slot.observer, std::move(observer));
        slot.installed.store(static_cast<bool>(slot.observer), std::memory_order_relaxed);
    }
}

}  // namespace kernel::testing
