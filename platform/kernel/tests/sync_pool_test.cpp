// IRQL, spin locks, kernel events and the pool ledger.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "kernel/rules.h"
#include "kernel/testing.h"
#include "kernel/wdm.h"

namespace {

LARGE_INTEGER RelativeMs(int ms) {
    LARGE_INTEGER timeout;
    timeout.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
    return timeout;
}

TEST(Irql, SpinLockRaisesToDispatchAndRestores) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KIRQL old;
    KeAcquireSpinLock(&lock, &old);
    EXPECT_EQ(old, PASSIVE_LEVEL);
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    KeReleaseSpinLock(&lock, old);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST(Irql, RuleViolationsAreReported) {
    kernel::RuleViolationRecorder recorder;
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KIRQL old;
    KeAcquireSpinLock(&lock, &old);
    KeAcquireSpinLockAtDpcLevel(&lock);  // recursive: reported, not taken again
    EXPECT_TRUE(recorder.Saw("acquired recursively"));

    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &zero), STATUS_TIMEOUT);
    EXPECT_EQ(recorder.Count(), 1);  // polling at DISPATCH_LEVEL is allowed
    LARGE_INTEGER shortWait = RelativeMs(1);
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &shortWait);
    EXPECT_TRUE(recorder.Saw("KeWaitForSingleObject at DISPATCH_LEVEL"));
    ExFreePool(ExAllocatePoolWithTag(PagedPool, 8, MQ_POOL_TAG('T', 'e', 's', 't')));
    EXPECT_TRUE(recorder.Saw("paged pool allocated at DISPATCH_LEVEL"));
    KeReleaseSpinLock(&lock, old);

    KeLowerIrql(DISPATCH_LEVEL);
    EXPECT_TRUE(recorder.Saw("KeLowerIrql to a higher level"));
    KeLowerIrql(PASSIVE_LEVEL);
}

TEST(Irql, RuleViolationAbortsWithoutARecorder) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            KSPIN_LOCK lock;
            KeInitializeSpinLock(&lock);
            KIRQL old;
            KeAcquireSpinLock(&lock, &old);
            KeAcquireSpinLock(&lock, &old);
        },
        "kernel rule violated: spin lock acquired recursively");
}

TEST(SpinLock, ExcludesOtherThreads) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                KIRQL old;
                KeAcquireSpinLock(&lock, &old);
                ++counter;
                KeReleaseSpinLock(&lock, old);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 20000);
}

TEST(Events, NotificationAndSynchronizationSemantics) {
    KEVENT notification, synchronization;
    KeInitializeEvent(&notification, NotificationEvent, FALSE);
    KeInitializeEvent(&synchronization, SynchronizationEvent, FALSE);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    EXPECT_EQ(KeSetEvent(&notification, IO_NO_INCREMENT, FALSE), 0);
    EXPECT_EQ(KeSetEvent(&notification, IO_NO_INCREMENT, FALSE), 1);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &zero),
              STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &zero),
              STATUS_SUCCESS);  // stays signalled
    EXPECT_EQ(KeResetEvent(&notification), 1);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &zero),
              STATUS_TIMEOUT);

    KeSetEvent(&synchronization, IO_NO_INCREMENT, FALSE);  // no waiter: stays signalled
    EXPECT_EQ(KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &zero),
              STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &zero),
              STATUS_TIMEOUT);  // consumed

    // One set of a synchronization event releases exactly one of two waiters.
    std::atomic<int> woken{0};
    auto waiter = [&] {
        LARGE_INTEGER timeout = RelativeMs(1500);
        if (KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &timeout) ==
            STATUS_SUCCESS)
            woken++;
    };
    std::thread a(waiter), b(waiter);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    KeSetEvent(&synchronization, IO_NO_INCREMENT, FALSE);
    a.join();
    b.join();
    EXPECT_EQ(woken, 1);
}

TEST(Events, TimeoutsRelativeAndAbsolute) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    auto start = std::chrono::steady_clock::now();
    LARGE_INTEGER relative = RelativeMs(30);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &relative),
              STATUS_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    LARGE_INTEGER past;
    KeQuerySystemTime(&past);
    past.QuadPart -= 10000000;
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &past), STATUS_TIMEOUT);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    });
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    setter.join();
}

// Setting an event wakes the threads that wait on it, not the threads that wait on other objects.
TEST(Events, SignallingWakesOnlyTheObjectsOwnWaiters) {
    constexpr int kWaiters = 6;
    constexpr LONGLONG kBound100ns = -100'000'000;  // 10 s
    KEVENT events[kWaiters];
    for (auto& event : events)
        KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    std::atomic<int> signalled{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&, i] {
            LARGE_INTEGER bound;
            bound.QuadPart = kBound100ns;
            if (KeWaitForSingleObject(&events[i], Executive, KernelMode, FALSE, &bound) ==
                STATUS_SUCCESS)
                ++signalled;
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (kernel::testing::BlockedKernelWaits() < kWaiters &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(kernel::testing::BlockedKernelWaits(), static_cast<std::size_t>(kWaiters));
    for (int i = 0; i < kWaiters; ++i) {
        const std::uint64_t before = kernel::testing::KernelWaitWakeups();
        KeSetEvent(&events[i], IO_NO_INCREMENT, FALSE);
        waiters[i].join();
        EXPECT_EQ(kernel::testing::KernelWaitWakeups() - before, 1u) << i;
    }
    EXPECT_EQ(signalled, kWaiters);
}

TEST(Pool, LedgerPerTagAndFailureInjection) {
    constexpr ULONG kTag = MQ_POOL_TAG('W', 'd', 'm', ' ');
    EXPECT_EQ(kTag, 0x57646D20u);
    void* a = ExAllocatePoolWithTag(NonPagedPool, 10, kTag);
    void* b = ExAllocatePoolWithTag(NonPagedPool, 6, kTag);
    EXPECT_EQ(kernel::testing::PoolOutstanding(kTag), (kernel::testing::PoolUsage{2, 16}));
    EXPECT_EQ(static_cast<unsigned char*>(a)[9], 0);
    ExFreePoolWithTag(a, kTag);
    {
        kernel::RuleViolationRecorder recorder;
        ExFreePoolWithTag(b, MQ_POOL_TAG('X', 'X', 'X', 'X'));
        EXPECT_TRUE(recorder.Saw("wrong tag"));
    }
    EXPECT_EQ(kernel::testing::PoolOutstanding(kTag), (kernel::testing::PoolUsage{}));

    kernel::testing::FailPoolAllocation(2, kTag);
    void* first = ExAllocatePoolWithTag(NonPagedPool, 4, kTag);
    void* other = ExAllocatePoolWithTag(NonPagedPool, 4, MQ_POOL_TAG('O', 't', 'h', 'r'));
    void* second = ExAllocatePoolWithTag(NonPagedPool, 4, kTag);
    void* third = ExAllocatePoolWithTag(NonPagedPool, 4, kTag);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(other, nullptr);  // another tag does not count
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    for (void* p : {first, other, third})
        ExFreePool(p);
    EXPECT_TRUE(kernel::testing::PoolLedger().empty());
}

}  // namespace
