// Tick counts and the performance counter read one clock; interlocked operations are atomic.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "win32/sync.h"

namespace {

class SyncTime : public testing::Test {
  protected:
    void TearDown() override { win32::detail::SetClockBiasForTesting({}); }
};

double PerformanceMs() {
    LARGE_INTEGER count, frequency;
    EXPECT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TEST_F(SyncTime, TickCountsAndPerformanceCounterAdvanceTogether) {
    const ULONGLONG tick0 = GetTickCount64();
    const double perf0 = PerformanceMs();
    const DWORD tick32 = GetTickCount();
    EXPECT_LT(static_cast<DWORD>(GetTickCount64()) - tick32, 1000u)
        << "the low 32 bits of one count";
    Sleep(200);
    const double perfDelta = PerformanceMs() - perf0;
    const auto tickDelta = static_cast<double>(GetTickCount64() - tick0);
    EXPECT_GE(tickDelta, 190);
    EXPECT_LT(tickDelta, 5000);
    EXPECT_NEAR(perfDelta, tickDelta, 100);
}

TEST_F(SyncTime, TickCountWrapsAt32Bits) {
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    win32::detail::SetClockBiasForTesting(milliseconds(0xFFFFFFFFull - 100) - now);
    const DWORD before = GetTickCount();
    EXPECT_GT(before, 0xFFFFFFFFu - 1000);
    Sleep(300);
    const DWORD after = GetTickCount();
    EXPECT_LT(after, 5000u);
    EXPECT_GE(GetTickCount64(), 0x100000000ull);
    EXPECT_GE(static_cast<DWORD>(after - before), 290u) << "unsigned difference spans the wrap";
}

TEST(SyncInterlocked, ReturnValues) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, -4), 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 4), 5);  // no match: unchanged
    EXPECT_EQ(value, 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 5), 5);
    EXPECT_EQ(value, 1);

    int a = 0, b = 0;
    PVOID volatile pointer = &a;
    EXPECT_EQ(InterlockedExchangePointer(&pointer, &b), &a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&pointer, &a, &a), &b);
    EXPECT_EQ(pointer, &b);
    EXPECT_EQ(InterlockedCompareExchangePointer(&pointer, nullptr, &b), &b);
    EXPECT_EQ(pointer, nullptr);
}

TEST(SyncInterlocked, NoUpdateIsLostUnderContention) {
    constexpr int kThreads = 8, kIterations = 50000;
    volatile LONG increments = 0;
    volatile LONG viaCompareExchange = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kIterations; ++i) {
                InterlockedIncrement(&increments);
                LONG seen;
                do {
                    seen = InterlockedCompareExchange(&viaCompareExchange, 0, 0);
                } while (InterlockedCompareExchange(&viaCompareExchange, seen + 2, seen) != seen);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(increments, kThreads * kIterations);
    EXPECT_EQ(viaCompareExchange, 2 * kThreads * kIterations);
}

}  // namespace
