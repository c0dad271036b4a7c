// Kernel mutexes (recursive ownership, exclusion, release rules) and the queue-lock / cancel-lock
// check.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "kernel/lockorder.h"
#include "kernel/rules.h"
#include "kernel/wdm.h"

namespace {

using namespace std::chrono_literals;

NTSTATUS Wait(KMUTEX* mutex, LONGLONG timeout100ns) {
    LARGE_INTEGER timeout;
    timeout.QuadPart = timeout100ns;
    return KeWaitForSingleObject(mutex, Executive, KernelMode, FALSE, &timeout);
}

TEST(KernelMutex, OwnerAcquiresRecursivelyAndOthersWaitUntilTheLastRelease) {
    KMUTEX mutex;
    KeInitializeMutex(&mutex, 1);
    EXPECT_EQ(KeReadStateMutex(&mutex), 1);
    ASSERT_EQ(Wait(&mutex, 0), STATUS_SUCCESS);
    ASSERT_EQ(Wait(&mutex, 0), STATUS_SUCCESS);  // the owner again
    EXPECT_EQ(KeReadStateMutex(&mutex), -1);

    std::atomic<NTSTATUS> poll{STATUS_PENDING};
    std::atomic<NTSTATUS> waited{STATUS_PENDING};
    std::atomic<bool> released{false};
    std::thread other([&] {
        poll = Wait(&mutex, 0);
        waited = Wait(&mutex, -50'000'000);  // 5 s
        released = KeReleaseMutex(&mutex, FALSE) == 0;
    });
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (poll == STATUS_PENDING && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(poll, STATUS_TIMEOUT);

    EXPECT_EQ(KeReleaseMutex(&mutex, FALSE), -1);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(waited, STATUS_PENDING);  // still owned once
    EXPECT_EQ(KeReleaseMutex(&mutex, FALSE), 0);
    other.join();
    EXPECT_EQ(waited, STATUS_SUCCESS);
    EXPECT_TRUE(released);
    EXPECT_EQ(KeReadStateMutex(&mutex), 1);
}

TEST(KernelMutex, ReleaseWithoutOwnershipIsARuleViolation) {
    kernel::RuleViolationRecorder recorder;
    KMUTEX mutex;
    KeInitializeMutex(&mutex, 0);
    KeReleaseMutex(&mutex, FALSE);  // free
    EXPECT_EQ(recorder.Count(), 1);
    ASSERT_EQ(Wait(&mutex, 0), STATUS_SUCCESS);
    std::thread([&] { KeReleaseMutex(&mutex, FALSE); }).join();  // owned by another thread
    EXPECT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Saw("does not own the mutex"));
    EXPECT_EQ(KeReadStateMutex(&mutex), 0);
    KeReleaseMutex(&mutex, FALSE);
    EXPECT_EQ(recorder.Count(), 2);
}

TEST(LockOrder, DeclaredQueueLocksAreNeverHeldWithTheCancelSpinLock) {
    KSPIN_LOCK queue;
    KSPIN_LOCK plain;
    KeInitializeSpinLock(&queue);
    KeInitializeSpinLock(&plain);
    kernel::DeclareQueueLock(&queue);
    enum Order { QueueThenCancel, CancelThenQueue, PlainThenCancel, QueueReleasedFirst };
    struct Case {
        const char* name;
        Order order;
        int violations;
    };
    const Case cases[] = {{"queue lock, then cancel lock", QueueThenCancel, 1},
                          {"cancel lock, then queue lock", CancelThenQueue, 1},
                          {"an undeclared lock with the cancel lock", PlainThenCancel, 0},
                          {"queue lock released before the cancel lock", QueueReleasedFirst, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kernel::RuleViolationRecorder recorder;
        KIRQL old, cancelOld;
        switch (c.order) {
            case QueueThenCancel:
            case PlainThenCancel: {
                PKSPIN_LOCK first = c.order == QueueThenCancel ? &queue : &plain;
                KeAcquireSpinLock(first, &old);
                IoAcquireCancelSpinLock(&cancelOld);
                IoReleaseCancelSpinLock(cancelOld);
                KeReleaseSpinLock(first, old);
                break;
            }
            case CancelThenQueue:
                IoAcquireCancelSpinLock(&cancelOld);
                KeAcquireSpinLockAtDpcLevel(&queue);
                KeReleaseSpinLockFromDpcLevel(&queue);
                IoReleaseCancelSpinLock(cancelOld);
                break;
            case QueueReleasedFirst:
                KeAcquireSpinLock(&queue, &old);
                KeReleaseSpinLock(&queue, old);
                IoAcquireCancelSpinLock(&cancelOld);
                IoReleaseCancelSpinLock(cancelOld);
                break;
        }
        EXPECT_EQ(recorder.Count(), c.violations);
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    }
    kernel::ForgetQueueLock(&queue);
    kernel::RuleViolationRecorder recorder;
    KIRQL old, cancelOld;
    KeAcquireSpinLock(&queue, &old);
    IoAcquireCancelSpinLock(&cancelOld);  // no longer declared: not checked
    IoReleaseCancelSpinLock(cancelOld);
    KeReleaseSpinLock(&queue, old);
    EXPECT_EQ(recorder.Count(), 0);
}

}  // namespace
