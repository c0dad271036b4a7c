#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "hxmem32.h"
#include "hxmem32_testing.h"

namespace {

using namespace std::chrono_literals;

class ListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hxmem32::testing::Reset();
        ASSERT_EQ(hxDmCreateList(&list_, 0, 0, 0), 0u);
    }
    void TearDown() override { hxmem32::testing::Reset(); }

    HBUF NewBuffer() {
        HBUF buffer = 0;
        EXPECT_EQ(hxDmAllocBuffer(0, 4, &buffer), 0u);
        return buffer;
    }
    uint32_t Count(HLIST list) {
        uint32_t count = 99;
        EXPECT_EQ(hxDmGetListCount(list, &count), 0u);
        return count;
    }

    HLIST list_ = 0;
};

TEST_F(ListTest, BuffersLeaveInTheOrderTheyCame) {
    const HBUF a = NewBuffer(), b = NewBuffer(), c = NewBuffer();
    for (HBUF buffer : {a, b, c})
        ASSERT_EQ(hxDmPutBufferToList(list_, buffer), 0u);
    EXPECT_EQ(Count(list_), 3u);

    std::vector<HBUF> taken;
    for (int i = 0; i < 4; ++i) {
        HBUF head = 0xFFFF;
        ASSERT_EQ(hxDmGetBufferFromList(list_, &head), 0u);
        taken.push_back(head);
    }
    EXPECT_EQ(taken, (std::vector<HBUF>{a, b, c, 0}));  // 0 once the list is empty
    EXPECT_EQ(Count(list_), 0u);
    EXPECT_EQ(hxDmFreeList(list_), 0u);
    EXPECT_EQ(hxmem32::testing::LiveLists(), 0u);
}

TEST_F(ListTest, ABufferIsOnOneListAtATimeAndCannotBeFreedThere) {
    HLIST other = 0;
    ASSERT_EQ(hxDmCreateList(&other, 0, 0, 0), 0u);
    const HBUF buffer = NewBuffer();
    ASSERT_EQ(hxDmPutBufferToList(list_, buffer), 0u);
    EXPECT_EQ(hxDmPutBufferToList(list_, buffer), HXBUFFERONLIST);
    EXPECT_EQ(hxDmPutBufferToList(other, buffer), HXBUFFERONLIST);
    EXPECT_EQ(hxDmFreeBuffer(buffer), HXBUFFERONLIST);
    EXPECT_EQ(hxDmFreeList(list_), HXLISTNOTEMPTY);

    HBUF head = 0;
    ASSERT_EQ(hxDmGetBufferFromList(list_, &head), 0u);
    ASSERT_EQ(head, buffer);
    EXPECT_EQ(hxDmPutBufferToList(other, buffer), 0u);  // off the first list, free to move
    ASSERT_EQ(hxDmGetBufferFromList(other, &head), 0u);
    EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
}

TEST_F(ListTest, StaleForeignAndNullHandlesAreRefused) {
    HLIST stale = 0;
    ASSERT_EQ(hxDmCreateList(&stale, 0, 0, 0), 0u);
    ASSERT_EQ(hxDmFreeList(stale), 0u);
    const HBUF buffer = NewBuffer();

    using Entry = uint32_t (*)(HLIST);
    static HBUF sBuffer;
    sBuffer = buffer;
    const std::pair<const char*, Entry> entries[] = {
        {"FreeList", [](HLIST l) { return hxDmFreeList(l); }},
        {"PutBufferToList", [](HLIST l) { return hxDmPutBufferToList(l, sBuffer); }},
        {"GetBufferFromList",
         [](HLIST l) {
             HBUF out = 77;
             const uint32_t s = hxDmGetBufferFromList(l, &out);
             return out == 77 ? s : 0u;
         }},
        {"GetListCount",
         [](HLIST l) {
             uint32_t out = 77;
             const uint32_t s = hxDmGetListCount(l, &out);
             return out == 77 ? s : 0u;
         }},
        {"LockList", [](HLIST l) { return hxDmLockList(l); }},
        {"UnlockList", [](HLIST l) { return hxDmUnlockList(l); }},
    };
    for (const auto& [name, entry] : entries) {
        for (const HLIST bad : {stale, HLIST{buffer}, HLIST{0}, HLIST{0xFFFFFFFF}})
            EXPECT_EQ(entry(bad), HXBADLISTHANDLE) << name << " with " << std::hex << bad;
    }
    // The buffer given to a refused put stays off every list.
    EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);

    EXPECT_EQ(hxDmCreateList(nullptr, 0, 0, 0), HXCANTALLOCLIST);
    EXPECT_EQ(hxDmGetListCount(list_, nullptr), HXBADLISTHANDLE);
    EXPECT_EQ(hxDmGetBufferFromList(list_, nullptr), HXBADLISTHANDLE);
    // A freed or made-up buffer is refused by a live list.
    EXPECT_EQ(hxDmPutBufferToList(list_, buffer), HXINVALIDHBUF);
    EXPECT_EQ(hxDmPutBufferToList(list_, list_), HXINVALIDHBUF);
    EXPECT_EQ(Count(list_), 0u);
}

TEST_F(ListTest, ListLockIsRecursiveAndKeepsOtherThreadsOut) {
    const HBUF a = NewBuffer(), b = NewBuffer();
    ASSERT_EQ(hxDmLockList(list_), 0u);
    ASSERT_EQ(hxDmLockList(list_), 0u);
    // The holder still changes the list.
    ASSERT_EQ(hxDmPutBufferToList(list_, a), 0u);

    std::atomic<bool> appended{false};
    auto other = std::async(std::launch::async, [&] {
        const uint32_t refusedUnlock = hxDmUnlockList(list_);
        const uint32_t status = hxDmPutBufferToList(list_, b);
        appended = true;
        return std::pair{refusedUnlock, status};
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(appended) << "another thread changed a locked list";
    ASSERT_EQ(hxDmUnlockList(list_), 0u);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(appended) << "the lock was released after one of two unlocks";
    ASSERT_EQ(hxDmUnlockList(list_), 0u);

    ASSERT_EQ(other.wait_for(10s), std::future_status::ready);
    const auto [refusedUnlock, status] = other.get();
    EXPECT_EQ(refusedUnlock, HXBUFFERNOTLOCKED);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(Count(list_), 2u);
    EXPECT_EQ(hxDmUnlockList(list_), HXBUFFERNOTLOCKED);  // nothing left to unlock
}

TEST_F(ListTest, FreeingALockedListWaitsForTheHolder) {
    ASSERT_EQ(hxDmLockList(list_), 0u);
    std::atomic<bool> freed{false};
    auto other = std::async(std::launch::async, [&] {
        const uint32_t status = hxDmFreeList(list_);
        freed = true;
        return status;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(freed);
    ASSERT_EQ(hxDmUnlockList(list_), 0u);
    ASSERT_EQ(other.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(other.get(), 0u);
    EXPECT_EQ(hxDmLockList(list_), HXBADLISTHANDLE);
}

}  // namespace
