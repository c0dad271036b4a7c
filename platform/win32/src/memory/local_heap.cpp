// The local heap: blocks in a table of slots, each named by a token of its slot and generation.
// A token is (generation << kSlotBits) | (slot + 1): nonzero and below 0x80000000, so that it
// survives a signed 32-bit word and never equals -1. A freed slot's generation moves on, so its
// old token is refused; a freed slot is reused only once many are free, so a stale token recurs
// only after a great many frees.
#include "win32/local_heap.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "win32/errors.h"
#include "win32/handles.h"

namespace {

constexpr std::uint32_t kSlotBits = 20;
constexpr std::uint32_t kGenerationBits = 11;
constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr std::uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
constexpr std::size_t kMaxSlots = kSlotMask;  // slot + 1 must fit the slot field
constexpr std::size_t kMinFreeBeforeReuse = 1024;
constexpr UINT kKnownFlags = LMEM_MOVEABLE | LMEM_ZEROINIT;

struct Block {
    std::unique_ptr<std::byte[]> bytes;
    SIZE_T size = 0;
    unsigned locks = 0;
    std::uint32_t generation = 0;
    bool live = false;
};

class LocalHeap {
  public:
    HLOCAL Allocate(UINT flags, SIZE_T bytes) {
        if ((flags & ~kKnownFlags) != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        std::unique_ptr<std::byte[]> memory(new (std::nothrow) std::byte[bytes == 0 ? 1 : bytes]);
        if (!memory) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if ((flags & LMEM_ZEROINIT) != 0)
            std::fill_n(memory.get(), bytes, std::byte{0});
        std::lock_guard lock(mutex_);
        const auto slot = TakeSlot();
        if (!slot) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        Block& block = blocks_[*slot];
        block.bytes = std::move(memory);
        block.size = bytes;
        block.locks = 0;
        block.live = true;
        ++live_;
        return TokenOf(*slot, block.generation);
    }

    bool Free(HLOCAL handle) {
        std::lock_guard lock(mutex_);
        Block* block = Find(handle);
        if (!block)
            return false;
        block->bytes.reset();
        block->live = false;
        block->generation = (block->generation + 1) & kGenerationMask;
        free_.push_back(SlotOf(handle));
        --live_;
        return true;
    }

    // Runs `use` on the live block the handle names, under the heap's lock; false when none.
    template <class Use>
    bool With(HLOCAL handle, Use&& use) {
        std::lock_guard lock(mutex_);
        Block* block = Find(handle);
        if (!block)
            return false;
        use(*block);
        return true;
    }

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return live_;
    }

  private:
    static HLOCAL TokenOf(std::uint32_t slot, std::uint32_t generation) {
        const std::uintptr_t token = (static_cast<std::uintptr_t>(generation) << kSlotBits) |
                                     (static_cast<std::uintptr_t>(slot) + 1);
        return reinterpret_cast<HLOCAL>(token);
    }
    static std::uint32_t SlotOf(HLOCAL handle) {
        return static_cast<std::uint32_t>((reinterpret_cast<std::uintptr_t>(handle) & kSlotMask) -
                                          1);
    }

    std::optional<std::uint32_t> TakeSlot() {
        if (free_.size() > kMinFreeBeforeReuse || (!free_.empty() && blocks_.size() >= kMaxSlots)) {
            const std::uint32_t slot = free_.front();
            free_.pop_front();
            return slot;
        }
        if (blocks_.size() >= kMaxSlots)
            return std::nullopt;
        blocks_.emplace_back();
        return static_cast<std::uint32_t>(blocks_.size() - 1);
    }

    Block* Find(HLOCAL handle) {
        const std::uintptr_t token = reinterpret_cast<std::uintptr_t>(handle);
        if (token == 0 || (token >> (kSlotBits + kGenerationBits)) != 0 || (token & kSlotMask) == 0)
            return nullptr;
        const std::uint32_t slot = SlotOf(handle);
        if (slot >= blocks_.size())
            return nullptr;
        Block& block = blocks_[slot];
        if (!block.live || block.generation != (token >> kSlotBits))
            return nullptr;
        return &block;
    }

    std::mutex mutex_;
    std::vector<Block> blocks_;
    std::deque<std::uint32_t> free_;
    std::size_t live_ = 0;
};

LocalHeap& Heap() {
    static LocalHeap heap;
    return heap;
}

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    return Heap().Allocate(uFlags, uBytes);
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (Heap().Free(hMem))
        return nullptr;
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
}

SIZE_T WINAPI LocalSize(HLOCAL hMem) {
    SIZE_T size = 0;
    if (!Heap().With(hMem, [&](Block& block) { size = block.size; }))
        SetLastError(ERROR_INVALID_HANDLE);
    return size;
}

LPVOID WINAPI LocalLock(HLOCAL hMem) {
    LPVOID address = nullptr;
    Heap().With(hMem, [&](Block& block) {
        if (block.size == 0)
            return;
        ++block.locks;
        address = block.bytes.get();
    });
    if (!address)
        SetLastError(ERROR_INVALID_HANDLE);
    return address;
}

BOOL WINAPI LocalUnlock(HLOCAL hMem) {
    bool wasLocked = false;
    bool stillLocked = false;
    if (!Heap().With(hMem, [&](Block& block) {
            wasLocked = block.locks > 0;
            if (wasLocked)
                --block.locks;
            stillLocked = block.locks > 0;
        })) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SetLastError(wasLocked ? ERROR_SUCCESS : ERROR_NOT_LOCKED);
    return stillLocked ? TRUE : FALSE;
}

namespace win32 {
std::size_t LocalBlockCount() {
    return Heap().Count();
}
}  // namespace win32
