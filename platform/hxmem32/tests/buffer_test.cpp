#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "hxmem32.h"
#include "hxmem32_testing.h"

namespace {

class BufferTest : public ::testing::Test {
  protected:
    void SetUp() override { hxmem32::testing::Reset(); }
    void TearDown() override { hxmem32::testing::Reset(); }

    HBUF Calloc(uint32_t samples, uint32_t width) {
        HBUF buffer = 0;
        EXPECT_EQ(hxDmCallocBuffer(0, 0, samples, width, &buffer), 0u);
        return buffer;
    }
};

TEST_F(BufferTest, AllocationGivesZeroedBufferOfSamplesTimesWidth) {
    HBUF buffer = 0;
    ASSERT_EQ(hxDmAllocBuffer(2, 100, &buffer), 0u);
    ASSERT_NE(buffer, 0u);
    uint32_t bytes = 0, width = 0, valid = 99, bits = 99, stamp = 99;
    EXPECT_EQ(hxDmGetBufferSize(buffer, &bytes), 0u);
    EXPECT_EQ(bytes, 200u);
    EXPECT_EQ(hxDmGetDataWidth(buffer, &width), 0u);
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
    EXPECT_EQ(valid, 0u);
    EXPECT_EQ(hxDmGetDataBits(buffer, &bits), 0u);
    EXPECT_EQ(bits, 0u);
    EXPECT_EQ(hxDmGetBufferStamp(buffer, &stamp), 0u);
    EXPECT_EQ(stamp, 0u);
    void* data = nullptr;
    ASSERT_EQ(hxDmGetBufferPtr(buffer, &data), 0u);
    const std::array<std::byte, 200> zeros{};
    EXPECT_EQ(std::memcmp(data, zeros.data(), zeros.size()), 0);

    const HBUF wide = Calloc(10, 4);
    EXPECT_EQ(hxDmGetBufferSize(wide, &bytes), 0u);
    EXPECT_EQ(bytes, 40u);
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 2u);
    EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    EXPECT_EQ(hxDmFreeBuffer(wide), 0u);
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 0u);
}

TEST_F(BufferTest, AllocationRefusals) {
    struct Case {
        uint32_t samples;
        uint32_t width;
        bool nullOut;
        uint32_t status;
    };
    const Case cases[] = {
        {10, 3, false, HXBADSAMPLESIZE},
        {10, 0, false, HXBADSAMPLESIZE},
        {10, 8, false, HXBADSAMPLESIZE},
        {0, 2, false, HXCANTALLOCBUFFER},
        {0x80000000u, 2, false, HXCANTALLOCBUFFER},  // more than 4 GB
        {10, 2, true, HXCANTALLOCBCB},
    };
    for (const Case& c : cases) {
        HBUF buffer = 0x1234;
        const uint32_t status =
            hxDmCallocBuffer(0, 0, c.samples, c.width, c.nullOut ? nullptr : &buffer);
        EXPECT_EQ(status, c.status) << c.samples << " x " << c.width;
        EXPECT_EQ(buffer, 0x1234u) << "output written on failure";
    }
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 0u);
}

TEST_F(BufferTest, CopyToAndFromBufferMoveSamplesOfTheDataWidth) {
    const HBUF buffer = Calloc(4, 4);
    const std::array<int32_t, 4> in = {1, -2, 70000, -70000};
    ASSERT_EQ(hxDmCopyToBuffer(buffer, in.data(), 3), 0u);
    uint32_t valid = 0;
    EXPECT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
    EXPECT_EQ(valid, 3u);
    std::array<int32_t, 4> out = {9, 9, 9, 9};
    ASSERT_EQ(hxDmCopyFromBuffer(buffer, out.data(), 3), 0u);
    EXPECT_EQ(out, (std::array<int32_t, 4>{1, -2, 70000, 9}));

    struct Case {
        const char* what;
        uint32_t (*call)(HBUF);
        uint32_t status;
    };
    static std::array<int32_t, 8> scratch;
    const Case refusals[] = {
        {"copy in more than the buffer holds",
         [](HBUF b) { return hxDmCopyToBuffer(b, scratch.data(), 5); }, HXBUFFERTOOSMALL},
        {"copy out more than the valid samples",
         [](HBUF b) { return hxDmCopyFromBuffer(b, scratch.data(), 4); }, HXBUFFERTOOSMALL},
        {"copy in from null", [](HBUF b) { return hxDmCopyToBuffer(b, nullptr, 1); },
         HXBUFFERTOOSMALL},
    };
    for (const Case& c : refusals)
        EXPECT_EQ(c.call(buffer), c.status) << c.what;

    ASSERT_EQ(hxDmSetValidSamples(buffer, 0), 0u);
    EXPECT_EQ(hxDmCopyFromBuffer(buffer, out.data(), 1), HXNOVALIDSAMPLES);
    EXPECT_EQ(hxDmCopyFromBuffer(buffer, out.data(), 0), 0u);
}

TEST_F(BufferTest, SampleBookkeepingFollowsTheDataWidth) {
    const HBUF buffer = Calloc(8, 2);  // 16 bytes
    EXPECT_EQ(hxDmSetValidSamples(buffer, 8), 0u);
    EXPECT_EQ(hxDmSetValidSamples(buffer, 9), HXVALIDSAMPLESTOOLARGE);

    // A wider sample drops what no longer fits; the byte size stays.
    ASSERT_EQ(hxDmSetDataWidth(buffer, 4), 0u);
    uint32_t valid = 0, bytes = 0;
    EXPECT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
    EXPECT_EQ(valid, 4u);
    EXPECT_EQ(hxDmGetBufferSize(buffer, &bytes), 0u);
    EXPECT_EQ(bytes, 16u);
    EXPECT_EQ(hxDmSetValidSamples(buffer, 5), HXVALIDSAMPLESTOOLARGE);
    ASSERT_EQ(hxDmSetDataWidth(buffer, 1), 0u);
    EXPECT_EQ(hxDmSetValidSamples(buffer, 16), 0u);

    for (uint32_t width : {0u, 3u, 8u})
        EXPECT_EQ(hxDmSetDataWidth(buffer, width), HXBADSAMPLESIZE);
    for (uint32_t bits : {0u, 33u})
        EXPECT_EQ(hxDmSetDataBits(buffer, bits), HXBADSAMPLESIZE);
    uint32_t bits = 0;
    ASSERT_EQ(hxDmSetDataBits(buffer, 12), 0u);
    EXPECT_EQ(hxDmGetDataBits(buffer, &bits), 0u);
    EXPECT_EQ(bits, 12u);
}

TEST_F(BufferTest, StampsFollowOneSequence) {
    const HBUF a = Calloc(1, 2), b = Calloc(1, 2);
    ASSERT_EQ(hxDmStampBuffer(a), 0u);
    ASSERT_EQ(hxDmStampBuffer(b), 0u);
    ASSERT_EQ(hxDmStampBuffer(a), 0u);
    uint32_t stampA = 0, stampB = 0;
    EXPECT_EQ(hxDmGetBufferStamp(a, &stampA), 0u);
    EXPECT_EQ(hxDmGetBufferStamp(b, &stampB), 0u);
    EXPECT_EQ(stampB, 2u);
    EXPECT_EQ(stampA, 3u);
}

TEST_F(BufferTest, OverlappedRecordIsTheBuffersOwnAndStable) {
    const HBUF a = Calloc(1, 2), b = Calloc(1, 2);
    OVERLAPPED* first = nullptr;
    OVERLAPPED* again = nullptr;
    OVERLAPPED* other = nullptr;
    ASSERT_EQ(hxDmGetOverlapped(a, &first), 0u);
    ASSERT_EQ(hxDmGetOverlapped(a, &again), 0u);
    ASSERT_EQ(hxDmGetOverlapped(b, &other), 0u);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    // The caller writes into the record (the buffer handle, its own pointer) and reads it back.
    auto* words = reinterpret_cast<uint32_t*>(first);
    const std::array<std::byte, 32> zeros{};
    EXPECT_EQ(std::memcmp(words, zeros.data(), zeros.size()), 0);
    words[4] = a;
    ASSERT_EQ(hxDmGetOverlapped(a, &again), 0u);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(again)[4], a);
}

// Every buffer entry refuses a freed (stale), a foreign (list) and a made-up handle, and writes
// no output when it does.
TEST_F(BufferTest, StaleForeignAndNullHandlesAreRefused) {
    HBUF stale = Calloc(4, 2);
    ASSERT_EQ(hxDmFreeBuffer(stale), 0u);
    // The slot is reused by the next allocation; the old token still finds nothing.
    const HBUF reused = Calloc(4, 2);
    ASSERT_NE(reused, stale);
    HLIST list = 0;
    ASSERT_EQ(hxDmCreateList(&list, 0, 0, 0), 0u);

    static std::array<int16_t, 4> scratch;
    using Entry = uint32_t (*)(HBUF);
    const std::pair<const char*, Entry> entries[] = {
        {"FreeBuffer", [](HBUF h) { return hxDmFreeBuffer(h); }},
        {"CopyToBuffer", [](HBUF h) { return hxDmCopyToBuffer(h, scratch.data(), 1); }},
        {"CopyFromBuffer", [](HBUF h) { return hxDmCopyFromBuffer(h, scratch.data(), 1); }},
        {"GetBufferPtr",
         [](HBUF h) {
             void* p = &scratch;
             const uint32_t s = hxDmGetBufferPtr(h, &p);
             return p == &scratch ? s : 0u;
         }},
        {"GetBufferSize",
         [](HBUF h) {
             uint32_t v = 77;
             const uint32_t s = hxDmGetBufferSize(h, &v);
             return v == 77 ? s : 0u;
         }},
        {"GetValidSamples",
         [](HBUF h) {
             uint32_t v = 77;
             const uint32_t s = hxDmGetValidSamples(h, &v);
             return v == 77 ? s : 0u;
         }},
        {"SetValidSamples", [](HBUF h) { return hxDmSetValidSamples(h, 0); }},
        {"SetDataWidth", [](HBUF h) { return hxDmSetDataWidth(h, 2); }},
        {"GetDataWidth",
         [](HBUF h) {
             uint32_t v = 77;
             const uint32_t s = hxDmGetDataWidth(h, &v);
             return v == 77 ? s : 0u;
         }},
        {"SetDataBits", [](HBUF h) { return hxDmSetDataBits(h, 12); }},
        {"GetDataBits",
         [](HBUF h) {
             uint32_t v = 77;
             return hxDmGetDataBits(h, &v);
         }},
        {"StampBuffer", [](HBUF h) { return hxDmStampBuffer(h); }},
        {"GetBufferStamp",
         [](HBUF h) {
             uint32_t v = 77;
             return hxDmGetBufferStamp(h, &v);
         }},
        {"GetOverlapped",
         [](HBUF h) {
             OVERLAPPED* p = nullptr;
             const uint32_t s = hxDmGetOverlapped(h, &p);
             return p == nullptr ? s : 0u;
         }},
    };
    for (const auto& [name, entry] : entries) {
        for (const HBUF bad : {stale, HBUF{list}, HBUF{0}, HBUF{0x7FFFFFFF}})
            EXPECT_EQ(entry(bad), HXINVALIDHBUF) << name << " with " << std::hex << bad;
    }
    // A null output pointer on a live buffer is refused too.
    EXPECT_EQ(hxDmGetBufferSize(reused, nullptr), HXINVALIDHBUF);
    EXPECT_EQ(hxDmGetOverlapped(reused, nullptr), HXINVALIDHBUF);
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 1u);
}

TEST_F(BufferTest, ResetMakesEveryOldHandleStale) {
    const HBUF buffer = Calloc(1, 2);
    hxmem32::testing::Reset();
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 0u);
    EXPECT_EQ(hxDmFreeBuffer(buffer), HXINVALIDHBUF);
}

}  // namespace
