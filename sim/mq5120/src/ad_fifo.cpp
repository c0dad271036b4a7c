// The A/D FIFO's ring.
#include "ad_fifo.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace mq5120 {

std::size_t AdFifo::Push(std::span<const std::uint16_t> codes) {
    const std::size_t count = std::min(codes.size(), room());
    std::size_t tail = (head_ + size_) % kAdFifoSamples;
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, kAdFifoSamples - tail);
        std::memcpy(ring_.data() + tail, codes.data() + done, n * sizeof(std::uint16_t));
        done += n;
        tail = (tail + n) % kAdFifoSamples;
    }
    size_ += count;
    return count;
}

void AdFifo::PopBytes(std::span<std::uint8_t> bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, kAdFifoSamples - head_);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes.data() + 2 * done, ring_.data() + head_, 2 * n);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                bytes[2 * (done + i)] = static_cast<std::uint8_t>(ring_[head_ + i]);
                bytes[2 * (done + i) + 1] = static_cast<std::uint8_t>(ring_[head_ + i] >> 8);
            }
        }
        done += n;
        head_ = (head_ + n) % kAdFifoSamples;
    }
    size_ -= count;
}

}  // namespace mq5120
