// Buffers of the buffer manager for the tests: made from values, read back as floats, freed at
// the end of the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hxmem32.h"

namespace hxdsp32_test {

class OwnedBuffer {
  public:
    OwnedBuffer(std::uint32_t samples, std::uint32_t width) {
        EXPECT_EQ(hxDmCallocBuffer(0, 0, samples, width, &handle_), 0u);
    }
    ~OwnedBuffer() { hxDmFreeBuffer(handle_); }
    OwnedBuffer(const OwnedBuffer&) = delete;
    OwnedBuffer& operator=(const OwnedBuffer&) = delete;
    HBUF get() const { return handle_; }

  private:
    HBUF handle_ = 0;
};

template <class T>
void Fill(const OwnedBuffer& buffer, const std::vector<T>& values) {
    ASSERT_EQ(
        hxDmCopyToBuffer(buffer.get(), values.data(), static_cast<std::uint32_t>(values.size())),
        0u);
}

inline std::vector<float> FloatsOf(const OwnedBuffer& buffer) {
    std::uint32_t width = 0;
    std::uint32_t valid = 0;
    EXPECT_EQ(hxDmGetDataWidth(buffer.get(), &width), 0u);
    EXPECT_EQ(width, sizeof(float));
    EXPECT_EQ(hxDmGetValidSamples(buffer.get(), &valid), 0u);
    std::vector<float> values(valid);
    if (valid > 0) {
        EXPECT_EQ(hxDmCopyFromBuffer(buffer.get(), values.data(), valid), 0u);
    }
    return values;
}

}  // namespace hxdsp32_test
