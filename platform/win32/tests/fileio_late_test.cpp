// Requests that their driver completes late (a cancel only marks them): a thread's handle is
// signalled, and CancelIo returns, only once the cancelled requests are back, so nothing writes
// into an OVERLAPPED its owner has been told it may free.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hold_driver.h"
#include "kernel/testing.h"
#include "sync_test_support.h"
#include "win32/errors.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/sync.h"

namespace {

using namespace sync_test;

constexpr ULONG_PTR kStatusPending = 0x103;
constexpr std::int32_t kStatusCancelled = static_cast<std::int32_t>(0xC0000120u);

void WINAPI IgnoreRead(DWORD, DWORD, LPOVERLAPPED) {}

struct LateIo : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(hold::Load(), 0);
        file = CreateFileA(hold::kPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        while (hold::CompleteOldest(kStatusCancelled, 0)) {
        }
        CloseHandle(file);
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
        hold::Unload();
    }
    HANDLE file = INVALID_HANDLE_VALUE;
};

TEST_F(LateIo, AThreadEndsOnlyOnceTheRequestsItLeftAreBack) {
    OVERLAPPED ov{};
    char buffer[4];
    ScopedHandle thread(StartThread([&]() -> DWORD {
        return ReadFileEx(file, buffer, sizeof(buffer), &ov, IgnoreRead) ? 0 : 1;
    }));
    ASSERT_TRUE(Eventually([] { return hold::CancelledCount() == 1; }));
    EXPECT_EQ(WaitForSingleObject(thread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ov.Internal, kStatusPending);
    ASSERT_TRUE(hold::CompleteOldest(kStatusCancelled, 0));
    ASSERT_EQ(WaitForSingleObject(thread, kLongWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(ov.Internal, static_cast<ULONG_PTR>(static_cast<ULONG>(kStatusCancelled)));
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 0u);
}

TEST_F(LateIo, CancelIoReturnsOnceItsCancelledRequestsAreBack) {
    OVERLAPPED read{}, control{};
    char buffer[4];
    ScopedHandle event(NewEvent(true, false));
    control.hEvent = event;
    ASSERT_TRUE(ReadFileEx(file, buffer, sizeof(buffer), &read, IgnoreRead));
    EXPECT_FALSE(DeviceIoControl(file, 0x222000, nullptr, 0, nullptr, 0, nullptr, &control));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread completer([] {
        ASSERT_TRUE(Eventually([] { return hold::CancelledCount() == 2; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(hold::CompleteOldest(kStatusCancelled, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(hold::CompleteOldest(kStatusCancelled, 0));
    });
    EXPECT_TRUE(CancelIo(file));
    EXPECT_NE(read.Internal, kStatusPending);
    EXPECT_NE(control.Internal, kStatusPending);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    completer.join();
    EXPECT_EQ(SleepEx(0, TRUE), WAIT_IO_COMPLETION);
}

}  // namespace
