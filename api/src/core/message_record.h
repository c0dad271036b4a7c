// The request engine's parameter block: 32-bit words W0, W1, ... (a double takes two words, low
// word first). A pointer-sized value (a notification procedure) travels beside the words, since a
// word cannot hold an address here. Which word holds what for each message code is named once in
// core/message_layouts.h.
#pragma once

#include <cstdint>
#include <cstring>

namespace hxda {

// A value at a fixed place of the record: one word, or a double over two words from `word` on.
template <typename Value>
struct MessageField {
    std::uint32_t word;
};
using WordField = MessageField<std::uint32_t>;
using DoubleField = MessageField<double>;

struct MessageRecord {
    static constexpr std::uint32_t kWords = 80;  // room for 78 single values from W2 on

    std::uint32_t w[kWords] = {};
    void* pointer = nullptr;

    double getDouble(std::uint32_t index) const {
        double value = 0;
        std::memcpy(&value, &w[index], sizeof value);
        return value;
    }
    void setDouble(std::uint32_t index, double value) {
        std::memcpy(&w[index], &value, sizeof value);
    }

    std::uint32_t get(WordField field) const { return w[field.word]; }
    void set(WordField field, std::uint32_t value) { w[field.word] = value; }
    double get(DoubleField field) const { return getDouble(field.word); }
    void set(DoubleField field, double value) { setDouble(field.word, value); }
    // The words from `field` to the end of the record.
    std::uint32_t* wordsFrom(WordField field) { return &w[field.word]; }
    const std::uint32_t* wordsFrom(WordField field) const { return &w[field.word]; }
};

}  // namespace hxda
