// User APCs run on their target thread only, only inside its alertable waits, and all of them
// before that wait returns WAIT_IO_COMPLETION. An object signalled when the wait starts wins over
// queued APCs; while the thread is blocked, whichever comes first ends the wait.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "core/object.h"
#include "core/thread_record.h"
#include "simclock/thread.h"
#include "sync_test_support.h"
#include "win32/sync.h"

namespace {

using namespace sync_test;

struct ApcLog {
    std::mutex mutex;
    std::vector<std::pair<int, DWORD>> entries;  // value, thread that ran it
    size_t Size() {
        std::lock_guard lock(mutex);
        return entries.size();
    }
};

struct ApcArgument {
    ApcLog* log;
    int value;
};

void CALLBACK RecordApc(ULONG_PTR data) {
    auto* argument = reinterpret_cast<ApcArgument*>(data);
    std::lock_guard lock(argument->log->mutex);
    argument->log->entries.emplace_back(argument->value, GetCurrentThreadId());
}

TEST(SyncApc, RunOnlyOnTargetThreadInsideAlertableWaitsAndAllBeforeIoCompletion) {
    ApcLog log;
    ApcArgument arguments[] = {{&log, 1}, {&log, 2}, {&log, 3}};
    ScopedHandle ready(NewEvent(true, false));
    ScopedHandle go(NewEvent(true, false));
    ScopedHandle never(NewEvent(true, false));
    ScopedHandle autoSet(NewEvent(false, true));
    DWORD plainWait = 0, plainTimedWait = 0, plainSleepLog = 0, objectFirst = 0, alertableWait = 0;
    size_t logAfterPlainWaits = 99, logAfterObjectFirst = 99, logAfterAlertableWait = 0;

    DWORD workerId = 0;
    ScopedHandle worker(StartThread(
        [&]() -> DWORD {
            SetEvent(ready);
            plainWait = WaitForSingleObject(go, kLongWaitMs);
            plainTimedWait = WaitForSingleObjectEx(never, 50, FALSE);
            Sleep(20);
            plainSleepLog = static_cast<DWORD>(log.Size());
            HANDLE neverList[] = {never};
            WaitForMultipleObjects(1, neverList, FALSE, 20);
            logAfterPlainWaits = log.Size();
            // An object signalled at entry wins: the APCs stay queued for the next alertable wait.
            objectFirst = WaitForSingleObjectEx(autoSet, kLongWaitMs, TRUE);
            logAfterObjectFirst = log.Size();
            alertableWait = WaitForSingleObjectEx(autoSet, kLongWaitMs, TRUE);
            logAfterAlertableWait = log.Size();
            return 0;
        },
        0, &workerId));
    ASSERT_NE(worker.get(), nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, kLongWaitMs), WAIT_OBJECT_0);

    for (auto& argument : arguments)
        ASSERT_NE(QueueUserAPC(&RecordApc, worker, reinterpret_cast<ULONG_PTR>(&argument)), 0u);
    // The queuing thread's own alertable wait does not run them.
    EXPECT_EQ(SleepEx(0, TRUE), 0u);
    // Every other thread blocked: the worker sits in its plain wait with the APCs queued.
    ASSERT_TRUE(simclock::testing::Settle());
    EXPECT_EQ(log.Size(), 0u);
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(worker, kLongWaitMs), WAIT_OBJECT_0);

    EXPECT_EQ(plainWait, WAIT_OBJECT_0);
    EXPECT_EQ(plainTimedWait, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(plainSleepLog, 0u);
    EXPECT_EQ(logAfterPlainWaits, 0u);
    EXPECT_EQ(objectFirst, WAIT_OBJECT_0);
    EXPECT_EQ(logAfterObjectFirst, 0u);
    EXPECT_EQ(alertableWait, WAIT_IO_COMPLETION);  // the event was consumed: the APCs run now
    EXPECT_EQ(logAfterAlertableWait, 3u);
    const std::vector<std::pair<int, DWORD>> expected = {
        {1, workerId}, {2, workerId}, {3, workerId}};
    EXPECT_EQ(log.entries, expected);
    EXPECT_EQ(WaitForSingleObject(autoSet, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(SyncApc, WhileBlockedTheFirstOfObjectAndApcEndsTheWait) {
    // The object is signalled before the APC is queued: the wait ends with the object, consumes
    // it, and the APC waits for the next alertable wait (and the other way round).
    for (const bool objectFirst : {true, false}) {
        SCOPED_TRACE(objectFirst ? "object first" : "APC first");
        ScopedHandle ready(NewEvent(true, false));
        ScopedHandle event(NewEvent(false, false));
        std::shared_ptr<win32::detail::ThreadRecord> workerRecord;
        std::atomic<int> ran{0};
        DWORD result = 0;
        int ranInWait = -1;
        ScopedHandle worker(StartThread([&]() -> DWORD {
            workerRecord = win32::detail::CurrentThreadRecord();
            SetEvent(ready);
            result = WaitForSingleObjectEx(event, kLongWaitMs, TRUE);
            ranInWait = ran.load();
            if (result == WAIT_OBJECT_0)
                SleepEx(kLongWaitMs, TRUE);  // the APC comes, or has come, after the object
            return 0;
        }));
        ASSERT_EQ(WaitForSingleObject(ready, kLongWaitMs), WAIT_OBJECT_0);
        ASSERT_TRUE(Eventually([&] { return win32::detail::IsBlockedInWait(*workerRecord); }));
        if (objectFirst)
            SetEvent(event);
        win32::detail::QueueApc(workerRecord, [&ran] { ++ran; });
        if (!objectFirst)
            SetEvent(event);
        ASSERT_EQ(WaitForSingleObject(worker, kLongWaitMs), WAIT_OBJECT_0);
        EXPECT_EQ(result, objectFirst ? WAIT_OBJECT_0 : WAIT_IO_COMPLETION);
        EXPECT_EQ(ranInWait, objectFirst ? 0 : 1);
        EXPECT_EQ(ran.load(), 1);
        // Consumed by the wait it ended, or still there for the next one.
        EXPECT_EQ(WaitForSingleObject(event, 0), objectFirst ? WAIT_TIMEOUT : WAIT_OBJECT_0);
    }
}

TEST(SyncApc, ApcQueuedDuringAlertableWaitWakesItAndApcsQueuedByApcsRunToo) {
    ScopedHandle ready(NewEvent(true, false));
    HANDLE never[2] = {NewEvent(true, false), NewEvent(false, false)};
    std::shared_ptr<win32::detail::ThreadRecord> workerRecord;
    std::atomic<int> ran{0};
    DWORD result = 0;
    long long waitedMs = 0;

    ScopedHandle worker(StartThread([&]() -> DWORD {
        workerRecord = win32::detail::CurrentThreadRecord();
        SetEvent(ready);
        const auto start = std::chrono::steady_clock::now();
        result = WaitForMultipleObjectsEx(2, never, FALSE, kLongWaitMs, TRUE);
        waitedMs = ElapsedMs(start);
        return 0;
    }));
    ASSERT_EQ(WaitForSingleObject(ready, kLongWaitMs), WAIT_OBJECT_0);
    // Every other thread blocked: the worker is in its alertable wait before the APC comes.
    ASSERT_TRUE(simclock::testing::Settle());
    auto record = workerRecord;
    win32::detail::QueueApc(record, [record, &ran] {
        ++ran;
        win32::detail::QueueApc(record, [&ran] { ran += 10; });
    });
    ASSERT_EQ(WaitForSingleObject(worker, kLongWaitMs), WAIT_OBJECT_0);

    EXPECT_EQ(result, WAIT_IO_COMPLETION);
    EXPECT_EQ(ran.load(), 11);
    EXPECT_LT(waitedMs, kLongWaitMs / 2);
    for (HANDLE h : never)
        CloseHandle(h);
}

TEST(SyncApc, PseudoHandleOfCurrentThreadAndAlertableSleepWithNothingQueued) {
    ApcLog log;
    ApcArgument argument{&log, 7};
    EXPECT_EQ(SleepEx(0, TRUE), 0u);
    ASSERT_NE(QueueUserAPC(&RecordApc, GetCurrentThread(), reinterpret_cast<ULONG_PTR>(&argument)),
              0u);
    EXPECT_EQ(log.Size(), 0u);
    EXPECT_EQ(SleepEx(kLongWaitMs, TRUE), WAIT_IO_COMPLETION);
    ASSERT_EQ(log.Size(), 1u);
    EXPECT_EQ(log.entries[0].second, GetCurrentThreadId());
}

TEST(SyncApc, ApcsOfAnExitedThreadAreDroppedWithoutRunning) {
    ScopedHandle go(NewEvent(true, false));
    ScopedHandle ready(NewEvent(true, false));
    std::shared_ptr<win32::detail::ThreadRecord> workerRecord;
    ScopedHandle worker(StartThread([&]() -> DWORD {
        workerRecord = win32::detail::CurrentThreadRecord();
        SetEvent(ready);
        WaitForSingleObject(go, kLongWaitMs);  // not alertable: the APC stays queued
        return 0;
    }));
    ASSERT_EQ(WaitForSingleObject(ready, kLongWaitMs), WAIT_OBJECT_0);

    auto pendingAtExit = std::make_shared<int>(0);
    win32::detail::QueueApc(workerRecord, [pendingAtExit] { ++*pendingAtExit; });
    EXPECT_EQ(pendingAtExit.use_count(), 2);
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(worker, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(pendingAtExit.use_count(), 1);
    EXPECT_EQ(*pendingAtExit, 0);

    auto afterExit = std::make_shared<int>(0);
    EXPECT_FALSE(win32::detail::TryQueueApc(workerRecord, [afterExit] { ++*afterExit; }));
    EXPECT_EQ(afterExit.use_count(), 1);
    ApcLog log;
    ApcArgument argument{&log, 1};
    EXPECT_EQ(QueueUserAPC(&RecordApc, worker, reinterpret_cast<ULONG_PTR>(&argument)), 0u);
    EXPECT_EQ(log.Size(), 0u);
}

}  // namespace
