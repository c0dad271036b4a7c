// The board's A/D FIFO: a ring of kAdFifoSamples codes, filled by conversions and emptied a chunk
// at a time into the sample stream's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mq5120/protocol.h"

namespace mq5120 {

class AdFifo {
  public:
    std::size_t size() const { return size_; }
    std::size_t room() const { return kAdFifoSamples - size_; }
    void Clear() { head_ = size_ = 0; }
    // Appends as many of the codes as there is room for, oldest first; returns how many.
    std::size_t Push(std::span<const std::uint16_t> codes);
    // Takes the oldest `count` codes (at most size()) as little-endian 16-bit words.
    void PopBytes(std::span<std::uint8_t> bytes, std::size_t count);
    // Forgets the newest `count` codes (at most size()).
    void DropNewest(std::size_t count) { size_ -= count; }

  private:
    std::vector<std::uint16_t> ring_ = std::vector<std::uint16_t>(kAdFifoSamples);
    std::size_t head_ = 0;  // the oldest code
    std::size_t size_ = 0;
};

}  // namespace mq5120
