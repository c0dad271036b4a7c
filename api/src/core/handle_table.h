// A fixed-size table of records behind 32-bit handle tokens. A token names a kind (so that a
// device handle is never taken for a subsystem handle), a slot and the slot's generation; a
// released slot gets a new generation, so an old token is refused without touching the record it
// once named. Lookups hand out shared ownership: a record stays alive until the last caller that
// found it is done, even when another thread releases the handle meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace hxda {

enum class HandleKind : std::uint32_t { Device = 1, Subsystem = 2, SimultaneousStartList = 3 };

template <typename Record, std::size_t Capacity, HandleKind Kind>
class HandleTable {
    static_assert(Capacity < 0x1000, "the slot field has 12 bits");

  public:
    // Enters the record at the first free slot and writes its token into record->self. Returns
    // the token, or 0 when the table is full.
    std::uint32_t add(std::shared_ptr<Record> record) {
        std::lock_guard guard(mutex_);
        for (std::size_t slot = 0; slot < Capacity; ++slot) {
            if (slots_[slot].record)
                continue;
            const std::uint32_t token = makeToken(slot, slots_[slot].generation);
            record->self = token;
            slots_[slot].record = std::move(record);
            return token;
        }
        return 0;
    }

    // The record of a live token, or null for 0, a token of another kind, a free slot or a
    // released generation.
    std::shared_ptr<Record> find(std::uint32_t token) const {
        std::size_t slot = 0;
        if (!decode(token, &slot))
            return nullptr;
        std::lock_guard guard(mutex_);
        const Slot& entry = slots_[slot];
        if (!entry.record || makeToken(slot, entry.generation) != token ||
            entry.record->self != token)
            return nullptr;
        return entry.record;
    }

    // Takes the record out of the table: its self field is cleared and the slot's generation
    // advances. Null when the token is not live.
    std::shared_ptr<Record> remove(std::uint32_t token) {
        std::size_t slot = 0;
        if (!decode(token, &slot))
            return nullptr;
        std::lock_guard guard(mutex_);
        Slot& entry = slots_[slot];
        if (!entry.record || makeToken(slot, entry.generation) != token)
            return nullptr;
        std::shared_ptr<Record> record = std::move(entry.record);
        record->self = 0;
        entry.generation = nextGeneration(entry.generation);
        return record;
    }

    // Every live record, for walks over the table (process detach).
    template <typename Visit>
    void forEach(Visit visit) const {
        std::array<std::shared_ptr<Record>, Capacity> live;
        {
            std::lock_guard guard(mutex_);
            for (std::size_t slot = 0; slot < Capacity; ++slot)
                live[slot] = slots_[slot].record;
        }
        for (auto& record : live)
            if (record)
                visit(record);
    }

    std::size_t size() const {
        std::lock_guard guard(mutex_);
        std::size_t count = 0;
        for (const Slot& entry : slots_)
            count += entry.record ? 1 : 0;
        return count;
    }

    // Testing hook: drops every record and starts the generations again.
    void clear() {
        std::lock_guard guard(mutex_);
        for (Slot& entry : slots_) {
            if (entry.record)
                entry.record->self = 0;
            entry = Slot{};
        }
    }

    static constexpr std::size_t capacity() { return Capacity; }

  private:
    // kind (4 bits) | generation (16 bits) | slot + 1 (12 bits): never 0.
    static std::uint32_t makeToken(std::size_t slot, std::uint16_t generation) {
        return (static_cast<std::uint32_t>(Kind) << 28) |
               (static_cast<std::uint32_t>(generation) << 12) |
               static_cast<std::uint32_t>(slot + 1);
    }
    static bool decode(std::uint32_t token, std::size_t* slot) {
        if ((token >> 28) != static_cast<std::uint32_t>(Kind))
            return false;
        const std::uint32_t index = token & 0xFFFu;
        if (index == 0 || index > Capacity)
            return false;
        *slot = index - 1;
        return true;
    }
    static std::uint16_t nextGeneration(std::uint16_t generation) {
        return static_cast<std::uint16_t>(generation + 1);
    }

    struct Slot {
        std::shared_ptr<Record> record;
        std::uint16_t generation = 1;
    };
    mutable std::mutex mutex_;
    std::array<Slot, Capacity> slots_{};
};

}  // namespace hxda
