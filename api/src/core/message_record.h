// The request engine's parameter block: 32-bit words W0, W1, ... (a double takes two words, low
// word first). A pointer-sized value (a notification procedure) travels beside the words, since a
// word cannot hold an address here.
#pragma once

#include <cstdint>
#include <cstring>

namespace hxda {

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
};

}  // namespace hxda
