// A table of objects reached by 32-bit tokens: slot index in the low 16 bits, a generation in
// bits 16-30 that changes whenever the slot is reused, and a kind bit (31) so that a token of one
// table is never taken for one of another. A stale or foreign token finds nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace hxmem32 {

template <typename T>
class HandleTable {
  public:
    static constexpr std::uint32_t kMaxSlots = 0x10000;

    explicit HandleTable(bool kindBit) : kindBit_(kindBit ? 0x80000000u : 0u) {}

    // The new object's token, or 0 when every slot is taken.
    std::uint32_t Insert(std::shared_ptr<T> object) {
        std::lock_guard lock(mutex_);
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.front();
            free_.pop_front();
        } else if (slots_.size() < kMaxSlots) {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        } else {
            return 0;
        }
        Slot& slot = slots_[index];
        slot.object = std::move(object);
        ++live_;
        return kindBit_ | (std::uint32_t{slot.generation} << 16) | index;
    }

    std::shared_ptr<T> Find(std::uint32_t token) const {
        std::lock_guard lock(mutex_);
        const Slot* slot = SlotOf(token);
        return slot != nullptr ? slot->object : nullptr;
    }

    // Takes the object out of the table; its token is stale from now on.
    std::shared_ptr<T> Remove(std::uint32_t token) {
        std::lock_guard lock(mutex_);
        Slot* slot = const_cast<Slot*>(SlotOf(token));
        if (slot == nullptr)
            return nullptr;
        std::shared_ptr<T> object = std::move(slot->object);
        Retire(*slot, token & 0xFFFFu);
        return object;
    }

    // Every live object, for a reset; the table is empty afterwards and every old token stale.
    std::vector<std::shared_ptr<T>> RemoveAll() {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<T>> objects;
        for (std::uint32_t index = 0; index < slots_.size(); ++index) {
            if (slots_[index].object == nullptr)
                continue;
            objects.push_back(std::move(slots_[index].object));
            Retire(slots_[index], index);
        }
        return objects;
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return live_;
    }

  private:
    struct Slot {
        std::uint16_t generation = 1;  // 1..0x7FFF, so that no token is 0
        std::shared_ptr<T> object;
    };

    const Slot* SlotOf(std::uint32_t token) const {
        if ((token & 0x80000000u) != kindBit_)
            return nullptr;
        const std::uint32_t index = token & 0xFFFFu;
        if (index >= slots_.size())
            return nullptr;
        const Slot& slot = slots_[index];
        if (slot.object == nullptr || slot.generation != ((token >> 16) & 0x7FFFu))
            return nullptr;
        return &slot;
    }

    void Retire(Slot& slot, std::uint32_t index) {
        slot.object.reset();
        slot.generation =
            static_cast<std::uint16_t>(slot.generation == 0x7FFF ? 1 : slot.generation + 1);
        // First in, first out: a freed slot is reused as late as possible.
        free_.push_back(index);
        --live_;
    }

    const std::uint32_t kindBit_;
    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::deque<std::uint32_t> free_;
    std::size_t live_ = 0;
};

}  // namespace hxmem32
