// The handle table: token shape, stale and foreign handles, close semantics, last error.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "core/object.h"
#include "sync_test_support.h"
#include "win32/sync.h"

namespace {

using namespace sync_test;

TEST(SyncHandles, TokensAreSmallDistinctAndNeverReservedValues) {
    std::set<std::uintptr_t> live;
    std::vector<HANDLE> handles;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 1500; ++i) {
            HANDLE h = NewEvent(false, false);
            const auto value = reinterpret_cast<std::uintptr_t>(h);
            ASSERT_NE(value, 0u);
            ASSERT_LT(value, 0x80000000u);  // survives a signed 32-bit word; not a pseudo handle
            ASSERT_TRUE(live.insert(value).second);
            handles.push_back(h);
        }
        for (size_t i = 0; i < handles.size(); i += 2) {  // close every other one
            live.erase(reinterpret_cast<std::uintptr_t>(handles[i]));
            ASSERT_TRUE(CloseHandle(handles[i]));
        }
        std::vector<HANDLE> kept;
        for (size_t i = 1; i < handles.size(); i += 2)
            kept.push_back(handles[i]);
        handles.swap(kept);
    }
    for (HANDLE h : handles)
        CloseHandle(h);
}

TEST(SyncHandles, StaleAndForeignHandlesAreRefused) {
    const size_t baseline = win32::detail::OpenHandleCount();
    HANDLE closed = NewEvent(true, false);
    ASSERT_TRUE(CloseHandle(closed));
    ScopedHandle successor(NewEvent(true, false));
    EXPECT_NE(successor.get(), closed);

    int local = 0;
    const auto closedValue = reinterpret_cast<std::uintptr_t>(closed);
    const HANDLE refused[] = {
        closed,
        nullptr,
        INVALID_HANDLE_VALUE,
        reinterpret_cast<HANDLE>(&local),
        reinterpret_cast<HANDLE>(closedValue + 1),
        reinterpret_cast<HANDLE>(closedValue ^ (1u << 20)),
        reinterpret_cast<HANDLE>(std::uintptr_t{0x7FFFFFFC}),
    };
    for (HANDLE h : refused) {
        SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(h));
        SetLastError(0);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
        if (h != INVALID_HANDLE_VALUE) {  // the current-process pseudo handle closes fine
            SetLastError(0);
            EXPECT_FALSE(CloseHandle(h));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        }
    }
    EXPECT_TRUE(SetEvent(successor));
    EXPECT_EQ(win32::detail::OpenHandleCount(), baseline + 1);
}

TEST(SyncHandles, HandleOfAnotherTypeIsRefused) {
    ScopedHandle thread(StartThread([]() -> DWORD { return 0; }));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(thread));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ScopedHandle event(NewEvent(true, false));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    WaitForSingleObject(thread, kLongWaitMs);
}

class ClosableProbe : public win32::detail::Object {
  public:
    void OnClose() override {
        ++closes;
        closingThread = GetCurrentThreadId();
    }
    std::atomic<int> closes{0};
    std::atomic<DWORD> closingThread{0};
};

TEST(SyncHandles, OnCloseRunsOnceAtLastCloseOnTheClosingThreadAndObjectOutlivesIt) {
    auto probe = std::make_shared<ClosableProbe>();
    HANDLE first = win32::detail::InsertHandle(probe);
    HANDLE second = win32::detail::InsertHandle(probe);
    ASSERT_NE(first, second);
    std::weak_ptr<ClosableProbe> watch = probe;
    auto held = win32::detail::LookupHandleAs<ClosableProbe>(second);
    probe.reset();

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(held->closes.load(), 0);
    DWORD closer = 0;
    std::thread([&] {
        closer = GetCurrentThreadId();
        EXPECT_TRUE(CloseHandle(second));
    }).join();
    EXPECT_EQ(held->closes.load(), 1);
    EXPECT_EQ(held->closingThread.load(), closer);
    EXPECT_EQ(win32::detail::LookupHandle(second), nullptr);
    EXPECT_FALSE(watch.expired());
    held.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(SyncHandles, LastErrorIsPerThreadAndPseudoHandlesClose) {
    SetLastError(123);
    DWORD seenByOther = 1;
    std::thread([&] {
        seenByOther = GetLastError();
        SetLastError(456);
    }).join();
    EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), 123u);
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
}

}  // namespace
