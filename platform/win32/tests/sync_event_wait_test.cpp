// Events and waits: auto-reset against manual-reset release, wait-any and wait-all, time-outs.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <vector>

#include "core/thread_record.h"
#include "sync_test_support.h"
#include "win32/sync.h"

namespace {

using namespace sync_test;

constexpr DWORD kTimeout = static_cast<DWORD>(WAIT_TIMEOUT);

// Four threads wait on one event; counts how many a SetEvent released.
class FourWaiters {
  public:
    explicit FourWaiters(HANDLE event) {
        for (auto& thread : threads_) {
            thread = StartThread([this, event]() -> DWORD {
                const DWORD result = WaitForSingleObject(event, kLongWaitMs);
                if (result == WAIT_OBJECT_0)
                    ++released_;
                return result;
            });
        }
    }
    ~FourWaiters() {
        for (HANDLE thread : threads_) {
            WaitForSingleObject(thread, kLongWaitMs);
            CloseHandle(thread);
        }
    }
    int Released() const { return released_.load(); }

  private:
    std::array<HANDLE, 4> threads_{};
    std::atomic<int> released_{0};
};

TEST(SyncEvent, AutoResetReleasesExactlyOneWaiterPerSet) {
    ScopedHandle event(NewEvent(false, false));
    FourWaiters waiters(event);
    Sleep(50);
    for (int set = 1; set <= 4; ++set) {
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(Eventually([&] { return waiters.Released() >= set; }));
        Sleep(100);  // no second waiter slips through
        ASSERT_EQ(waiters.Released(), set);
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);  // consumed by the last waiter
}

TEST(SyncEvent, ManualResetReleasesEveryWaiterAndStaysSignalled) {
    ScopedHandle event(NewEvent(true, false));
    FourWaiters waiters(event);
    Sleep(50);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_TRUE(Eventually([&] { return waiters.Released() == 4; }));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
}

TEST(SyncEvent, SettingAnEventWakesOnlyTheThreadsThatWaitOnIt) {
    // Each thread waits on an event of its own; the events are set one by one. A thread is woken
    // once, by its own event, however many other events are set while it waits.
    constexpr int kThreads = 6;
    std::array<HANDLE, kThreads> events{}, threads{};
    std::array<std::atomic<std::uint64_t>, kThreads> wakeups{};
    std::array<std::shared_ptr<win32::detail::ThreadRecord>, kThreads> records{};
    std::atomic<int> started{0};
    for (int i = 0; i < kThreads; ++i) {
        events[i] = NewEvent(false, false);
        threads[i] = StartThread([&, i]() -> DWORD {
            records[i] = win32::detail::CurrentThreadRecord();
            ++started;
            const DWORD result = WaitForSingleObject(events[i], kLongWaitMs);
            wakeups[i] = win32::detail::WakeupsOf(*records[i]);
            return result;
        });
    }
    ASSERT_TRUE(Eventually([&] { return started.load() == kThreads; }));
    for (int i = 0; i < kThreads; ++i)
        ASSERT_TRUE(Eventually([&] { return win32::detail::IsBlockedInWait(*records[i]); }));
    for (int i = 0; i < kThreads; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(SetEvent(events[i]));
        ASSERT_EQ(WaitForSingleObject(threads[i], kLongWaitMs), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeThread(threads[i], &code);
        EXPECT_EQ(code, WAIT_OBJECT_0);
        EXPECT_EQ(wakeups[i].load(), 1u);
    }
    for (int i = 0; i < kThreads; ++i) {
        CloseHandle(threads[i]);
        CloseHandle(events[i]);
    }
}

TEST(SyncEvent, PollsSeeInitialStateAndResetRules) {
    struct Case {
        bool manual, initial;
        DWORD first, second;
    };
    const Case cases[] = {
        {false, true, WAIT_OBJECT_0, kTimeout},
        {true, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {false, false, kTimeout, kTimeout},
        {true, false, kTimeout, kTimeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "manual " << c.manual << " initial " << c.initial);
        ScopedHandle event(NewEvent(c.manual, c.initial));
        EXPECT_EQ(WaitForSingleObject(event, 0), c.first);
        EXPECT_EQ(WaitForSingleObject(event, 0), c.second);
        SetEvent(event);
        ResetEvent(event);
        EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
    }
}

TEST(SyncWait, WaitAnyReturnsLowestSignalledIndexAndConsumesOnlyThatObject) {
    ScopedHandle a(NewEvent(false, false)), b(NewEvent(false, true)), c(NewEvent(false, true));
    const HANDLE handles[] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), kTimeout);
}

TEST(SyncWait, WaitAllTakesEveryObjectAtOnceOrNone) {
    ScopedHandle a(NewEvent(false, true)), b(NewEvent(false, false));
    const HANDLE handles[] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), kTimeout);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 30), kTimeout);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a partial wait-all consumed a";

    SetEvent(a);
    ScopedHandle setter(StartThread([&]() -> DWORD {
        Sleep(50);
        SetEvent(b);
        return 0;
    }));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), kTimeout) << "both consumed";
    WaitForSingleObject(setter, kLongWaitMs);
}

TEST(SyncWait, HandleCountLimitsAndBadHandles) {
    std::vector<HANDLE> events;
    for (int i = 0; i < MAXIMUM_WAIT_OBJECTS + 1; ++i)
        events.push_back(NewEvent(true, false));
    SetEvent(events[MAXIMUM_WAIT_OBJECTS - 1]);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events.data(), FALSE, 0),
              WAIT_OBJECT_0 + MAXIMUM_WAIT_OBJECTS - 1);
    for (HANDLE e : events)
        SetEvent(e);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events.data(), TRUE, 0), WAIT_OBJECT_0);

    struct Case {
        const char* what;
        DWORD count;
        std::vector<HANDLE> handles;
        BOOL waitAll;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {"too many", MAXIMUM_WAIT_OBJECTS + 1, events, FALSE, ERROR_INVALID_PARAMETER},
        {"none", 0, {events[0]}, FALSE, ERROR_INVALID_PARAMETER},
        {"duplicate in wait-all", 2, {events[0], events[0]}, TRUE, ERROR_INVALID_PARAMETER},
        {"invalid handle", 2, {events[0], INVALID_HANDLE_VALUE}, FALSE, ERROR_INVALID_HANDLE},
        {"null handle", 1, {nullptr}, FALSE, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles.data(), c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
    }
    // The same object twice is fine for a wait-any.
    const HANDLE twice[] = {events[0], events[0]};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
    for (HANDLE e : events)
        CloseHandle(e);
}

TEST(SyncWait, TimeOutsPollWaitAndInfinite) {
    ScopedHandle never(NewEvent(true, false));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(never, 0), kTimeout);
    EXPECT_LT(ElapsedMs(start), 1000);

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObjectEx(never, 100, TRUE), kTimeout);
    EXPECT_GE(ElapsedMs(start), 95);
    EXPECT_LT(ElapsedMs(start), 5000);

    start = std::chrono::steady_clock::now();
    Sleep(100);
    EXPECT_GE(ElapsedMs(start), 95);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(SleepEx(100, TRUE), 0u);
    EXPECT_GE(ElapsedMs(start), 95);

    ScopedHandle later(NewEvent(false, false));
    ScopedHandle setter(StartThread([&]() -> DWORD {
        Sleep(50);
        SetEvent(later);
        return 0;
    }));
    EXPECT_EQ(WaitForSingleObject(later, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(setter, kLongWaitMs), WAIT_OBJECT_0);
}

TEST(SyncEvent, NamedEventsAreSharedWithinTheProcessWhileOpen) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "sync-test-named");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, FALSE, TRUE, "sync-test-named");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    EXPECT_EQ(WaitForSingleObject(second, 0), kTimeout) << "the existing event's state is kept";
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, "sync-test-named");
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "sync-test-Named"), nullptr) << "case-sensitive";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    for (HANDLE h : {first, second, opened})
        CloseHandle(h);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "sync-test-named"), nullptr);
}

}  // namespace
