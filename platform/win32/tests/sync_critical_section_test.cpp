// Critical sections: re-entrant for the owner, exclusive against everyone else.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "win32/sync.h"

namespace {

class SyncCriticalSection : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section_, 4000)); }
    void TearDown() override { DeleteCriticalSection(&section_); }

    bool OtherThreadCanEnter() {
        bool entered = false;
        std::thread([&] {
            entered = TryEnterCriticalSection(&section_) != FALSE;
            if (entered)
                LeaveCriticalSection(&section_);
        }).join();
        return entered;
    }

    CRITICAL_SECTION section_{};
};

TEST_F(SyncCriticalSection, OwnerReentersAndOthersWaitForTheLastLeave) {
    EnterCriticalSection(&section_);
    EnterCriticalSection(&section_);
    EXPECT_TRUE(TryEnterCriticalSection(&section_));
    EXPECT_FALSE(OtherThreadCanEnter());
    LeaveCriticalSection(&section_);
    LeaveCriticalSection(&section_);
    EXPECT_FALSE(OtherThreadCanEnter());
    LeaveCriticalSection(&section_);
    EXPECT_TRUE(OtherThreadCanEnter());
    EXPECT_EQ(SetCriticalSectionSpinCount(&section_, 10), 4000u);
}

TEST_F(SyncCriticalSection, MutualExclusionUnderContention) {
    constexpr int kThreads = 8;
    constexpr int kIterations = 20000;
    long counter = 0;  // deliberately not atomic: the section alone protects it
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kIterations; ++i) {
                if (t % 2 == 0) {
                    EnterCriticalSection(&section_);
                } else {
                    while (!TryEnterCriticalSection(&section_))
                        std::this_thread::yield();
                }
                EnterCriticalSection(&section_);  // nested entry by the owner
                if (inside.fetch_add(1) != 0)
                    ++overlaps;
                ++counter;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section_);
                LeaveCriticalSection(&section_);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, static_cast<long>(kThreads) * kIterations);
    EXPECT_EQ(overlaps.load(), 0);
}

}  // namespace
