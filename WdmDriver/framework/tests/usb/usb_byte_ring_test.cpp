// The byte ring: its one free slot, wrapping writes and reads, and agreement with a plain queue
// over a long run of mixed operations.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "../framework_testing.h"
#include "framework/byte_ring.h"

namespace {

class ByteRingTest : public wdm_test::PoolCheckedTest {};

TEST_F(ByteRingTest, HoldsOneLessThanItsSlotsAndWrapsAtTheEnd) {
    struct Case {
        const char* name;
        ULONG before;      // elements written and then read, to move both indices
        ULONG write;       // elements offered
        ULONG written;     // elements taken
        ULONG writeIndex;  // afterwards
    };
    const Case cases[] = {
        {"empty ring of 4 takes 4", 0, 6, 4, 4},
        {"from index 3, three elements wrap to 3, 4, 0", 3, 3, 3, 1},
        {"from index 3, six offered, four taken", 3, 6, 4, 2},
        {"from the last slot", 4, 2, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wdm::ByteRing ring;
        ASSERT_EQ(ring.Allocate(4, 1), STATUS_SUCCESS);
        EXPECT_EQ(ring.Capacity(), 5u);
        std::vector<UCHAR> scratch(8, 0xEE);
        ring.Write(scratch.data(), c.before);
        ring.Read(scratch.data(), c.before);
        ASSERT_EQ(ring.ReadIndex(), ring.WriteIndex());
        const std::vector<UCHAR> data = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(ring.Write(data.data(), c.write), c.written);
        EXPECT_EQ(ring.WriteIndex(), c.writeIndex);
        EXPECT_EQ(ring.Count(), c.written);
        EXPECT_EQ(ring.FreeSpace(), 4 - c.written);
        std::vector<UCHAR> out(8, 0);
        EXPECT_EQ(ring.Read(out.data(), 8), c.written);
        EXPECT_EQ(std::vector<UCHAR>(out.begin(), out.begin() + c.written),
                  std::vector<UCHAR>(data.begin(), data.begin() + c.written));
    }
    // Full with read = 0 and write = 4: one more element does not fit.
    wdm::ByteRing full;
    ASSERT_EQ(full.Allocate(4, 1), STATUS_SUCCESS);
    const UCHAR four[4] = {9, 9, 9, 9};
    ASSERT_EQ(full.Write(four, 4), 4u);
    EXPECT_EQ(full.ReadIndex(), 0u);
    EXPECT_EQ(full.WriteIndex(), 4u);
    EXPECT_EQ(full.Write(four, 1), 0u);
}

TEST_F(ByteRingTest, AgreesWithAPlainQueueOverMixedOperations) {
    for (ULONG elementSize : {1u, 2u}) {
        SCOPED_TRACE(elementSize);
        wdm::ByteRing ring;
        ASSERT_EQ(ring.Allocate(37, elementSize), STATUS_SUCCESS);
        std::deque<UCHAR> model;
        std::mt19937 random(elementSize);
        UCHAR next = 0;
        for (int step = 0; step < 5000; ++step) {
            const ULONG n = random() % 20;
            std::vector<UCHAR> buffer(n * elementSize);
            if (random() % 2 == 0) {
                for (auto& b : buffer)
                    b = next++;
                const ULONG written = ring.Write(buffer.data(), n);
                ASSERT_EQ(written, std::min<ULONG>(n, 37 - model.size() / elementSize));
                model.insert(model.end(), buffer.begin(), buffer.begin() + written * elementSize);
            } else {
                const ULONG read = ring.Read(buffer.data(), n);
                ASSERT_EQ(read, std::min<ULONG>(n, model.size() / elementSize));
                for (ULONG i = 0; i < read * elementSize; ++i) {
                    ASSERT_EQ(buffer[i], model.front());
                    model.pop_front();
                }
            }
            ASSERT_EQ(ring.Count() * elementSize, model.size());
            ASSERT_EQ(ring.FreeSpace(), 37 - ring.Count());
        }
    }
}

TEST_F(ByteRingTest, AllocationFailureLeavesNoRing) {
    wdm::ByteRing ring;
    kernel::testing::FailPoolAllocation(1, wdm::kPoolTag);
    EXPECT_EQ(ring.Allocate(16, 1), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(ring.Allocated());
    const UCHAR byte = 1;
    EXPECT_EQ(ring.Write(&byte, 1), 0u);
    EXPECT_EQ(ring.FreeSpace(), 0u);
}

}  // namespace
