// The process's handle table. A token is (generation << 20) | ((slot + 1) << 2): nonzero, a
// multiple of four, below 0x80000000 (so it survives a round trip through a signed 32-bit word and
// never equals INVALID_HANDLE_VALUE or a pseudo handle). A freed slot goes to the back of a FIFO
// and is reused only once many slots are free, so a stale token recurs only after millions of
// closes; a lookup checks the slot's generation before it touches the object.
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "core/object.h"
#include "core/thread_record.h"
#include "win32/handles.h"

namespace win32::detail {

namespace {

constexpr std::uint32_t kSlotBits = 18;
constexpr std::uint32_t kGenerationBits = 11;
constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr std::uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
constexpr std::size_t kMaxSlots = kSlotMask;  // slot + 1 must fit the slot field
constexpr std::size_t kMinFreeBeforeReuse = 1024;

const HANDLE kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

}  // namespace

class HandleTable {
  public:
    HANDLE Insert(std::shared_ptr<Object> object) {
        std::lock_guard lock(mutex_);
        std::uint32_t slot;
        if (free_.size() > kMinFreeBeforeReuse || (!free_.empty() && slots_.size() >= kMaxSlots)) {
            slot = free_.front();
            free_.pop_front();
        } else if (slots_.size() < kMaxSlots) {
            slot = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        } else {
            return nullptr;
        }
        Slot& entry = slots_[slot];
        ++object->handleCount_;
        entry.object = std::move(object);
        return TokenOf(slot, entry.generation);
    }

    std::shared_ptr<Object> Lookup(HANDLE handle) {
        std::lock_guard lock(mutex_);
        const Slot* entry = Find(handle);
        return entry ? entry->object : nullptr;
    }

    // Returns the removed object and whether that was its last handle.
    std::pair<std::shared_ptr<Object>, bool> Remove(HANDLE handle) {
        std::lock_guard lock(mutex_);
        Slot* entry = Find(handle);
        if (!entry)
            return {nullptr, false};
        std::shared_ptr<Object> object = std::move(entry->object);
        entry->object.reset();
        entry->generation = (entry->generation + 1) & kGenerationMask;
        free_.push_back(SlotOf(handle));
        const bool last = --object->handleCount_ == 0;
        return {std::move(object), last};
    }

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return slots_.size() - free_.size();
    }

  private:
    struct Slot {
        std::shared_ptr<Object> object;
        std::uint32_t generation = 0;
    };

    static HANDLE TokenOf(std::uint32_t slot, std::uint32_t generation) {
        const std::uintptr_t token = (static_cast<std::uintptr_t>(generation) << (kSlotBits + 2)) |
                                     (static_cast<std::uintptr_t>(slot + 1) << 2);
        return reinterpret_cast<HANDLE>(token);
    }
    static std::uint32_t SlotOf(HANDLE handle) {
        return static_cast<std::uint32_t>((reinterpret_cast<std::uintptr_t>(handle) >> 2) &
                                          kSlotMask) -
               1;
    }

    Slot* Find(HANDLE handle) {
        const auto value = reinterpret_cast<std::uintptr_t>(handle);
        if (value == 0 || value > 0x7FFFFFFFu || (value & 3u) != 0)
            return nullptr;
        if (((value >> 2) & kSlotMask) == 0)
            return nullptr;
        const std::uint32_t slot = SlotOf(handle);
        const auto generation = static_cast<std::uint32_t>(value >> (kSlotBits + 2));
        if (slot >= slots_.size())
            return nullptr;
        Slot& entry = slots_[slot];
        if (!entry.object || entry.generation != generation)
            return nullptr;
        return &entry;
    }

    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::deque<std::uint32_t> free_;
};

namespace {

// Never destroyed: objects may be closed by threads that outlive main.
HandleTable& Table() {
    static auto* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<Object> object) {
    if (!object)
        return nullptr;
    HANDLE handle = Table().Insert(std::move(object));
    if (!handle)
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return handle;
}

std::shared_ptr<Object> LookupHandle(HANDLE handle) {
    if (handle == kCurrentThreadPseudoHandle)
        return CurrentThreadRecord();
    return Table().Lookup(handle);
}

bool RemoveHandle(HANDLE handle) {
    auto [object, last] = Table().Remove(handle);
    if (!object)
        return false;
    if (last)
        object->OnClose();
    return true;
}

std::size_t OpenHandleCount() {
    return Table().Count();
}

}  // namespace win32::detail
