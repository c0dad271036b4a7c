#include "key_table.h"

#include <mutex>
#include <vector>

namespace win32::detail {
namespace {

// Token layout: bits 0..15 slot + 1, bits 16..30 generation (never 0). Bit 31 stays clear, so a
// token never collides with a predefined key.
constexpr std::uint32_t kSlotMask = 0xFFFF;
constexpr std::uint32_t kGenerationMask = 0x7FFF;
constexpr std::size_t kMaxSlots = kSlotMask;

struct Slot {
    std::optional<OpenedRegistryKey> key;
    std::uint32_t generation = 1;
};

std::mutex tableMutex;
std::vector<Slot> slots;
std::vector<std::size_t> freeSlots;

HKEY TokenOf(std::size_t index, std::uint32_t generation) {
    const auto token = static_cast<std::uint32_t>(index + 1) | (generation << 16);
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(token));
}

// The slot a token names while its generation is current; null otherwise. Table lock held.
Slot* SlotOf(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value > 0x7FFFFFFF)
        return nullptr;
    const auto token = static_cast<std::uint32_t>(value);
    const std::uint32_t slot = token & kSlotMask;
    if (slot == 0 || slot > slots.size())
        return nullptr;
    Slot& entry = slots[slot - 1];
    if (!entry.key || entry.generation != ((token >> 16) & kGenerationMask))
        return nullptr;
    return &entry;
}

void Release(Slot& entry, std::size_t index) {
    entry.key.reset();
    entry.generation = (entry.generation % kGenerationMask) + 1;
    freeSlots.push_back(index);
}

}  // namespace

HKEY InsertRegistryKey(OpenedRegistryKey key) {
    std::lock_guard lock(tableMutex);
    std::size_t index;
    if (!freeSlots.empty()) {
        index = freeSlots.back();
        freeSlots.pop_back();
    } else if (slots.size() < kMaxSlots) {
        index = slots.size();
        slots.emplace_back();
    } else {
        return nullptr;
    }
    slots[index].key = std::move(key);
    return TokenOf(index, slots[index].generation);
}

std::optional<OpenedRegistryKey> LookupRegistryKey(HKEY key) {
    std::lock_guard lock(tableMutex);
    if (Slot* entry = SlotOf(key))
        return entry->key;
    return std::nullopt;
}

bool RemoveRegistryKey(HKEY key) {
    std::optional<OpenedRegistryKey> removed;  // released outside the lock
    std::lock_guard lock(tableMutex);
    Slot* entry = SlotOf(key);
    if (entry == nullptr)
        return false;
    removed = std::move(entry->key);
    Release(*entry, static_cast<std::size_t>(entry - slots.data()));
    return true;
}

void CloseAllRegistryKeys() {
    std::lock_guard lock(tableMutex);
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (slots[i].key)
            Release(slots[i], i);
}

}  // namespace win32::detail
