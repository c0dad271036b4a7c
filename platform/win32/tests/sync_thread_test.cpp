// Threads: handles signalled at exit with the exit code, suspended start, priorities, adoption
// of threads the services did not create, exit hooks.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/object.h"
#include "core/thread_record.h"
#include "sync_test_support.h"
#include "win32/sync.h"

namespace {

using namespace sync_test;

TEST(SyncThread, HandleSignalledAtExitWithExitCode) {
    ScopedHandle go(NewEvent(true, false));
    std::atomic<DWORD> idInside{0};
    DWORD idOut = 0;
    ScopedHandle thread(StartThread(
        [&]() -> DWORD {
            idInside = GetCurrentThreadId();
            WaitForSingleObject(go, kLongWaitMs);
            return 42;
        },
        0, &idOut));
    ASSERT_NE(thread.get(), nullptr);

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(thread, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_NE(idOut, 0u);
    EXPECT_EQ(idInside.load(), idOut);
    EXPECT_EQ(GetThreadId(thread), idOut);
    EXPECT_NE(idOut, GetCurrentThreadId());
}

TEST(SyncThread, SuspendedThreadStartsOnlyAtResume) {
    std::atomic<bool> ran{false};
    ScopedHandle thread(StartThread(
        [&]() -> DWORD {
            ran = true;
            return 0;
        },
        CREATE_SUSPENDED));
    Sleep(100);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ResumeThread(thread), 1u);
    ASSERT_EQ(WaitForSingleObject(thread, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(ResumeThread(thread), 0u);
}

TEST(SyncThread, ExitThreadEndsTheThreadWithItsCode) {
    std::atomic<bool> pastExit{false};
    ScopedHandle thread(StartThread([&]() -> DWORD {
        ExitThread(7);
        pastExit = true;
        return 1;
    }));
    ASSERT_EQ(WaitForSingleObject(thread, kLongWaitMs), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(pastExit.load());
}

TEST(SyncThread, PrioritiesAreAcceptedAndStored) {
    ScopedHandle go(NewEvent(true, false));
    ScopedHandle thread(
        StartThread([&]() -> DWORD { return WaitForSingleObject(go, kLongWaitMs); }));
    for (HANDLE target : {thread.get(), GetCurrentThread()}) {
        EXPECT_EQ(GetThreadPriority(target), THREAD_PRIORITY_NORMAL);
        for (int priority :
             {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
              THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
              THREAD_PRIORITY_NORMAL}) {
            EXPECT_TRUE(SetThreadPriority(target, priority));
            EXPECT_EQ(GetThreadPriority(target), priority);
        }
        for (int bad : {3, -3, 16}) {
            SetLastError(0);
            EXPECT_FALSE(SetThreadPriority(target, bad));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
        EXPECT_EQ(GetThreadPriority(target), THREAD_PRIORITY_NORMAL);
    }
    EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
    SetEvent(go);
    WaitForSingleObject(thread, kLongWaitMs);
}

TEST(SyncThread, OtherThreadsAreAdoptedWithStableDistinctIds) {
    const DWORD mainId = GetCurrentThreadId();
    EXPECT_NE(mainId, 0u);
    EXPECT_EQ(GetCurrentThreadId(), mainId);
    DWORD first = 0, again = 0;
    std::thread([&] {
        first = GetCurrentThreadId();
        again = GetCurrentThreadId();
    }).join();
    EXPECT_NE(first, 0u);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, mainId);
}

TEST(SyncThread, ExitHooksRunOnTheExitingThreadBeforeItsHandleSignals) {
    struct Seen {
        std::atomic<int> calls{0};
        std::atomic<bool> onExitingThread{false};
        std::atomic<bool> signalledYet{true};
    } seen;
    const int hook = win32::detail::AddThreadExitHook(
        [&seen](const std::shared_ptr<win32::detail::ThreadRecord>& exiting) {
            ++seen.calls;
            seen.onExitingThread = win32::detail::ThreadIdOf(*exiting) == GetCurrentThreadId();
            const std::shared_ptr<win32::detail::Object> objects[] = {exiting};
            seen.signalledYet =
                win32::detail::WaitForObjects(objects, false, 0, false) == WAIT_OBJECT_0;
        });
    ScopedHandle thread(StartThread([]() -> DWORD { return 0; }));
    ASSERT_EQ(WaitForSingleObject(thread, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(seen.calls.load(), 1);
    EXPECT_TRUE(seen.onExitingThread.load());
    EXPECT_FALSE(seen.signalledYet.load());

    std::thread([] { GetCurrentThreadId(); }).join();  // adopted, finished at its exit
    EXPECT_EQ(seen.calls.load(), 2);
    std::thread([] {}).join();  // never adopted: no record, no hook
    EXPECT_EQ(seen.calls.load(), 2);
    win32::detail::RemoveThreadExitHook(hook);
}

}  // namespace
