#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>

#include "hxmem32.h"
#include "hxmem32_testing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kSamples = 64;
constexpr uint32_t kPoolSize = 8;
constexpr uint32_t kItems = 20000;

// Takes the head of `list`, waiting (bounded) while it is empty; 0 on time-out.
HBUF TakeWaiting(HLIST list, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        HBUF head = 0;
        if (hxDmGetBufferFromList(list, &head) != 0)
            return 0;
        if (head != 0)
            return head;
        std::this_thread::yield();
    }
    return 0;
}

// A producer fills buffers from a free list and hands them through a done list to a consumer,
// which checks order and contents and gives them back: the copy thread and the caller's thread.
TEST(StressTest, OneProducerOneConsumerMoveBuffersThroughLists) {
    hxmem32::testing::Reset();
    HLIST freeList = 0, doneList = 0;
    ASSERT_EQ(hxDmCreateList(&freeList, 0, 0, 0), 0u);
    ASSERT_EQ(hxDmCreateList(&doneList, 0, 0, 0), 0u);
    for (uint32_t i = 0; i < kPoolSize; ++i) {
        HBUF buffer = 0;
        ASSERT_EQ(hxDmCallocBuffer(0, 0, kSamples, 4, &buffer), 0u);
        ASSERT_EQ(hxDmPutBufferToList(freeList, buffer), 0u);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(120);

    uint32_t produced = 0;
    std::thread producer([&] {
        std::array<uint32_t, kSamples> samples;
        for (uint32_t item = 0; item < kItems; ++item) {
            const HBUF buffer = TakeWaiting(freeList, deadline);
            if (buffer == 0)
                return;
            samples.fill(item);
            if (hxDmCopyToBuffer(buffer, samples.data(), kSamples) != 0)
                return;
            if (hxDmSetDataBits(buffer, 24) != 0 || hxDmStampBuffer(buffer) != 0)
                return;
            // Some buffers are handed on under the list lock, as a batch would be.
            const bool locked = item % 16 == 0;
            if (locked && hxDmLockList(doneList) != 0)
                return;
            const uint32_t status = hxDmPutBufferToList(doneList, buffer);
            if (locked && hxDmUnlockList(doneList) != 0)
                return;
            if (status != 0)
                return;
            ++produced;
        }
    });

    uint32_t consumed = 0, lastStamp = 0, faults = 0;
    std::array<uint32_t, kSamples> samples;
    while (consumed < kItems) {
        const HBUF buffer = TakeWaiting(doneList, deadline);
        if (buffer == 0)
            break;
        uint32_t stamp = 0, valid = 0;
        if (hxDmGetBufferStamp(buffer, &stamp) != 0 || stamp <= lastStamp)
            ++faults;
        lastStamp = stamp;
        if (hxDmGetValidSamples(buffer, &valid) != 0 || valid != kSamples)
            ++faults;
        if (hxDmCopyFromBuffer(buffer, samples.data(), kSamples) != 0)
            ++faults;
        for (uint32_t sample : samples)
            if (sample != consumed)
                ++faults;
        hxDmSetValidSamples(buffer, 0);
        if (hxDmPutBufferToList(freeList, buffer) != 0)
            ++faults;
        ++consumed;
    }
    producer.join();

    EXPECT_EQ(produced, kItems);
    EXPECT_EQ(consumed, kItems);
    EXPECT_EQ(faults, 0u);
    uint32_t count = 0;
    ASSERT_EQ(hxDmGetListCount(freeList, &count), 0u);
    EXPECT_EQ(count, kPoolSize);
    for (HBUF buffer; hxDmGetBufferFromList(freeList, &buffer) == 0 && buffer != 0;)
        EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    EXPECT_EQ(hxDmFreeList(freeList), 0u);
    EXPECT_EQ(hxDmFreeList(doneList), 0u);
    EXPECT_EQ(hxmem32::testing::LiveBuffers(), 0u);
}

}  // namespace
