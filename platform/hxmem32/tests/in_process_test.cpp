// A buffer's place (its owner's hands, a list, in process) and what each place refuses.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "hxmem32.h"
#include "hxmem32_testing.h"

namespace {

class InProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hxmem32::testing::Reset();
        ASSERT_EQ(hxDmCreateList(&ready_, 0, 0, 0), 0u);
        ASSERT_EQ(hxDmCreateList(&done_, 0, 0, 0), 0u);
    }
    void TearDown() override { hxmem32::testing::Reset(); }

    static HBUF NewBuffer() {
        HBUF buffer = 0;
        EXPECT_EQ(hxDmAllocBuffer(0, 4, &buffer), 0u);
        return buffer;
    }
    static uint32_t Location(HBUF buffer) {
        uint32_t location = 99;
        EXPECT_EQ(hxDmGetBufferLocation(buffer, &location), 0u);
        return location;
    }
    // A buffer taken from the ready list into process.
    HBUF InProcess() {
        const HBUF buffer = NewBuffer();
        EXPECT_EQ(hxDmPutBufferToList(ready_, buffer), 0u);
        HBUF taken = 0;
        EXPECT_EQ(hxDmGetBufferForProcess(ready_, &taken), 0u);
        EXPECT_EQ(taken, buffer);
        return buffer;
    }

    HLIST ready_ = 0;
    HLIST done_ = 0;
};

TEST_F(InProcessTest, ABufferInProcessCannotBeFreedQueuedOrPutInProcessAgain) {
    const HBUF buffer = InProcess();
    EXPECT_EQ(Location(buffer), HXDM_LOCATION_INPROCESS);
    EXPECT_EQ(hxDmFreeBuffer(buffer), HXBUFFERLOCKED);
    EXPECT_EQ(hxDmPutBufferToList(ready_, buffer), HXBUFFERLOCKED);
    EXPECT_EQ(hxDmPutBufferToList(done_, buffer), HXBUFFERLOCKED);
    EXPECT_EQ(hxDmSetBufferInProcess(buffer), HXBUFFERLOCKED);
    uint32_t count = 99;
    EXPECT_EQ(hxDmGetListCount(ready_, &count), 0u);
    EXPECT_EQ(count, 0u);
    // Its data stays reachable for the driver's write and the completion's bookkeeping.
    void* data = nullptr;
    EXPECT_EQ(hxDmGetBufferPtr(buffer, &data), 0u);
    EXPECT_EQ(hxDmSetValidSamples(buffer, 2), 0u);

    ASSERT_EQ(hxDmEndBufferProcess(buffer, done_), 0u);
    EXPECT_EQ(Location(buffer), HXDM_LOCATION_LISTED);
    HBUF head = 0;
    EXPECT_EQ(hxDmGetBufferFromList(done_, &head), 0u);
    EXPECT_EQ(head, buffer);
    EXPECT_EQ(Location(buffer), HXDM_LOCATION_HELD);
    EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
}

TEST_F(InProcessTest, EachWayInAndOutOfProcess) {
    struct Case {
        const char* name;
        bool onList;             // the buffer starts on the ready list, else in its owner's hands
        bool setInProcess;       // hxDmSetBufferInProcess, else hxDmGetBufferForProcess
        uint32_t enterStatus;    // of the way in
        uint32_t locationAfter;  // after the way in
    };
    const Case cases[] = {
        {"held, set in process", false, true, 0u, HXDM_LOCATION_INPROCESS},
        {"listed, set in process", true, true, HXBUFFERONLIST, HXDM_LOCATION_LISTED},
        {"listed, taken for process", true, false, 0u, HXDM_LOCATION_INPROCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HBUF buffer = NewBuffer();
        if (c.onList) {
            ASSERT_EQ(hxDmPutBufferToList(ready_, buffer), 0u);
        }
        if (c.setInProcess) {
            EXPECT_EQ(hxDmSetBufferInProcess(buffer), c.enterStatus);
        } else {
            HBUF taken = 0;
            EXPECT_EQ(hxDmGetBufferForProcess(ready_, &taken), c.enterStatus);
            EXPECT_EQ(taken, buffer);
        }
        EXPECT_EQ(Location(buffer), c.locationAfter);
        if (c.locationAfter == HXDM_LOCATION_LISTED) {
            HBUF taken = 0;
            ASSERT_EQ(hxDmGetBufferFromList(ready_, &taken), 0u);
        }
        if (c.locationAfter == HXDM_LOCATION_INPROCESS) {
            EXPECT_EQ(hxDmEndBufferProcess(buffer, 0), 0u);
        }
        EXPECT_EQ(Location(buffer), HXDM_LOCATION_HELD);
        EXPECT_EQ(hxDmEndBufferProcess(buffer, 0), HXBUFFERNOTLOCKED);
        EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    }
}

TEST_F(InProcessTest, RefusalsLeaveTheBufferWhereItWas) {
    const HBUF buffer = InProcess();
    HLIST gone = 0;
    ASSERT_EQ(hxDmCreateList(&gone, 0, 0, 0), 0u);
    ASSERT_EQ(hxDmFreeList(gone), 0u);
    EXPECT_EQ(hxDmEndBufferProcess(buffer, gone), HXBADLISTHANDLE);
    EXPECT_EQ(Location(buffer), HXDM_LOCATION_INPROCESS);
    EXPECT_EQ(hxDmEndBufferProcess(buffer, done_), 0u);

    const HBUF freed = NewBuffer();
    ASSERT_EQ(hxDmFreeBuffer(freed), 0u);
    uint32_t location = 99;
    EXPECT_EQ(hxDmGetBufferLocation(freed, &location), HXINVALIDHBUF);
    EXPECT_EQ(location, 99u);
    EXPECT_EQ(hxDmGetBufferLocation(buffer, nullptr), HXINVALIDHBUF);
    EXPECT_EQ(hxDmSetBufferInProcess(freed), HXINVALIDHBUF);
    EXPECT_EQ(hxDmEndBufferProcess(freed, 0), HXINVALIDHBUF);
    EXPECT_EQ(hxDmEndBufferProcess(freed, done_), HXINVALIDHBUF);
    HBUF head = 99;
    EXPECT_EQ(hxDmGetBufferForProcess(ready_, &head), 0u);
    EXPECT_EQ(head, 0u);  // empty list
    EXPECT_EQ(hxDmGetBufferForProcess(ready_, nullptr), HXBADLISTHANDLE);
}

// A thread that frees a buffer while another moves it through a list, into process and onto a
// second list succeeds only while the buffer is in its owner's hands: no list keeps the handle
// of a freed buffer, and a buffer in process is never freed under the driver.
TEST_F(InProcessTest, AFreeRacingTheBuffersRoundsSucceedsOnlyInItsOwnersHands) {
    constexpr int kRounds = 5000;
    const HBUF buffer = NewBuffer();
    std::atomic<bool> freed{false};
    std::atomic<int> freedInProcess{0};
    std::thread mover([&] {
        for (int i = 0; i < kRounds && !freed; ++i) {
            HBUF taken = 0;
            if (hxDmPutBufferToList(ready_, buffer) != 0 ||
                hxDmGetBufferForProcess(ready_, &taken) != 0 || taken != buffer)
                continue;
            // In process: the buffer must still be live here.
            uint32_t valid = 0;
            if (hxDmGetValidSamples(buffer, &valid) != 0)
                ++freedInProcess;
            hxDmEndBufferProcess(buffer, done_);
            hxDmGetBufferFromList(done_, &taken);
        }
    });
    for (int i = 0; i < kRounds && !freed; ++i)
        freed = hxDmFreeBuffer(buffer) == 0;
    mover.join();
    EXPECT_EQ(freedInProcess.load(), 0);
    uint32_t readyCount = 99, doneCount = 99;
    EXPECT_EQ(hxDmGetListCount(ready_, &readyCount), 0u);
    EXPECT_EQ(hxDmGetListCount(done_, &doneCount), 0u);
    EXPECT_EQ(readyCount + doneCount, 0u);
    uint32_t location = 0;
    EXPECT_EQ(hxDmGetBufferLocation(buffer, &location), freed ? HXINVALIDHBUF : 0u);
}

}  // namespace
