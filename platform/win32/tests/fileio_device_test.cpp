// Device I/O through the user-mode calls, on the tests' echo/queue driver.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "echo_control.h"
#include "kernel/testing.h"
#include "sync_test_support.h"
#include "win32/errors.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/sync.h"
#include "win32/threads.h"

namespace {

using sync_test::Eventually;
using sync_test::kLongWaitMs;

struct ApcLog {
    std::atomic<int> calls{0};
    std::atomic<DWORD> error{0xFFFFFFFF}, bytes{0}, thread{0};
    LPOVERLAPPED ov = nullptr;
};
ApcLog* g_apcs = nullptr;

void WINAPI OnRead(DWORD error, DWORD bytes, LPOVERLAPPED ov) {
    g_apcs->error = error;
    g_apcs->bytes = bytes;
    g_apcs->ov = ov;
    g_apcs->thread = GetCurrentThreadId();
    g_apcs->calls++;
}

struct FileIo : ::testing::Test {
    ApcLog apcs;
    void SetUp() override {
        g_apcs = &apcs;
        ASSERT_EQ(echo::Load(), 0);
    }
    void TearDown() override {
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
        echo::Unload();
    }
    HANDLE Open(const char* path = "\\\\.\\EchoB\\AD0") {
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return h;
    }
};

TEST_F(FileIo, OpenFailureGivesTheMappedError) {
    EXPECT_EQ(CreateFileA("\\\\.\\Missing", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(
        CreateFileA("\\\\.\\EchoB\\refuse", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(FileIo, ReadFileExRoutineRunsOnlyInTheIssuersAlertableWait) {
    HANDLE h = Open();
    char buffer[8] = {};
    OVERLAPPED ov{};
    ov.Offset = 0x1234;  // the caller's own value
    ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &ov, OnRead));
    std::thread([] { echo::CompleteOldest(0, 5, 'x'); }).join();
    EXPECT_EQ(ov.Internal, 0u);
    EXPECT_EQ(ov.InternalHigh, 5u);
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 20), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(apcs.calls, 0);  // a non-alertable wait runs no APC
    EXPECT_EQ(SleepEx(1000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcs.calls, 1);
    EXPECT_EQ(apcs.error, 0u);
    EXPECT_EQ(apcs.bytes, 5u);
    EXPECT_EQ(apcs.ov, &ov);
    EXPECT_EQ(apcs.thread, GetCurrentThreadId());
    EXPECT_EQ(ov.Offset, 0x1234u);
    EXPECT_EQ(std::string(buffer, 5), "xxxxx");

    // Cancelled: the routine gets ERROR_OPERATION_ABORTED.
    ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &ov, OnRead));
    EXPECT_TRUE(CancelIo(h));
    EXPECT_EQ(SleepEx(1000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcs.error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    CloseHandle(h);
}

TEST_F(FileIo, ImmediateFailureReturnsFalseWithoutApc) {
    HANDLE h = CreateFileA("\\\\.\\EchoB", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    echo::EchoCommand command{0, 0, static_cast<std::int32_t>(0xC0000023u)};
    DWORD bytes = 99;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_FAIL, &command, sizeof(command), nullptr, 0, &bytes,
                                 nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    CloseHandle(h);
}

// A synchronous request whose submission fails before it has an IRP (IRPs come from pool) returns
// its error at once instead of waiting for a completion that never comes; so does one on a handle
// opened for overlapped I/O.
TEST_F(FileIo, ASynchronousRequestThatGetsNoIrpFailsWithItsError) {
    for (const DWORD flags : {DWORD{0}, DWORD{FILE_FLAG_OVERLAPPED}}) {
        SCOPED_TRACE(flags);
        HANDLE h = CreateFileA("\\\\.\\EchoB\\AD0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, flags, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buffer[8] = {};
        DWORD bytes = 99;
        kernel::testing::FailPoolAllocation(1, kernel::testing::kIrpPoolTag);
        EXPECT_FALSE(ReadFile(h, buffer, sizeof(buffer), &bytes, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES));
        kernel::testing::FailPoolAllocation(1, kernel::testing::kIrpPoolTag);
        EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, buffer, sizeof(buffer), &bytes,
                                     nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES));
        kernel::testing::FailPoolAllocation(0);
        CloseHandle(h);
    }
}

TEST_F(FileIo, SynchronousControlOnAnOverlappedHandleWaitsOnTheFile) {
    // Without an OVERLAPPED the call waits on the file itself, which the completion of any request
    // of the file without an event of its own signals (a ReadFileEx read): it can return before
    // its own request is done, whose output arrives later. A request with its own event leaves
    // the file alone.
    for (const bool readHasEvent : {false, true}) {
        SCOPED_TRACE(readHasEvent ? "other request with its own event" : "ReadFileEx read");
        HANDLE h = Open();
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        char buffer[4];
        OVERLAPPED ov{};
        ov.hEvent = event;
        if (readHasEvent) {
            EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, buffer, sizeof(buffer),
                                         nullptr, &ov));
        } else {
            ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &ov, OnRead));
        }
        EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        char out[8];
        std::memset(out, '-', sizeof(out));
        std::atomic<bool> returned{false}, leave{false};
        BOOL result = FALSE;
        DWORD bytes = 99;
        std::thread caller([&] {
            result =
                DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, out, sizeof(out), &bytes, nullptr);
            returned = true;
            // Its exit would cancel a request still running.
            Eventually([&] { return leave.load(); });
        });
        ASSERT_TRUE(Eventually([] { return echo::QueuedCount() == 2; }));
        echo::CompleteOldest(0, 1, 'r');  // the other request
        if (readHasEvent) {
            EXPECT_EQ(WaitForSingleObject(event, kLongWaitMs), WAIT_OBJECT_0);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(returned);
            EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        } else {
            EXPECT_TRUE(Eventually([&] { return returned.load(); }));
            EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
            EXPECT_EQ(std::string(out, 3), "---");  // its own answer is still to come
        }
        echo::CompleteOldest(0, 3, 'q');
        leave = true;
        caller.join();
        EXPECT_TRUE(result);
        EXPECT_EQ(bytes, readHasEvent ? 3u : 0u);
        EXPECT_EQ(std::string(out, 3), "qqq");
        EXPECT_EQ(SleepEx(0, TRUE), readHasEvent ? 0u : WAIT_IO_COMPLETION);
        CloseHandle(event);
        CloseHandle(h);
    }
}

TEST_F(FileIo, TheEventOfAnOverlappedRequestIsTakenAtIssue) {
    HANDLE h = Open();
    // Closing the event's handle after the issue still gets the event set.
    HANDLE named = CreateEventA(nullptr, TRUE, FALSE, "fileio-request-event");
    HANDLE second = OpenEventA(SYNCHRONIZE, FALSE, "fileio-request-event");
    OVERLAPPED ov{};
    ov.hEvent = named;
    char out[4];
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, out, sizeof(out), nullptr, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    CloseHandle(named);
    echo::CompleteOldest(0, 2, 'e');
    EXPECT_EQ(WaitForSingleObject(second, kLongWaitMs), WAIT_OBJECT_0);
    CloseHandle(second);
    // An event handle that names nothing is refused before anything reaches the driver.
    ov = OVERLAPPED{};
    ov.hEvent = named;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, out, sizeof(out), nullptr, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(echo::QueuedCount(), 0u);
    CloseHandle(h);
}

TEST_F(FileIo, OverlappedControlPendsAndSetsTheEvent) {
    HANDLE h = Open();
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    OVERLAPPED ov{};
    ov.hEvent = event;
    char out[8];
    DWORD bytes = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_ECHO_PEND, nullptr, 0, out, sizeof(out), &bytes, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // reset at issue
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    std::thread([] { echo::CompleteOldest(0, 3, 'q'); }).join();
    EXPECT_EQ(WaitForSingleObject(event, 1000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &bytes, TRUE));
    EXPECT_EQ(bytes, 3u);
    EXPECT_EQ(std::string(out, 3), "qqq");
    CloseHandle(event);
    CloseHandle(h);
}

TEST_F(FileIo, CancelIoTakesOnlyTheCallingThreadsRequests) {
    HANDLE h = Open();
    char buffer[4];
    OVERLAPPED mine{}, theirs{};
    std::atomic<int> theirCalls{0};
    HANDLE other = nullptr;
    std::atomic<bool> issued{false}, finish{false};
    std::thread thread([&] {
        ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &theirs, OnRead));
        issued = true;
        while (!finish)
            SleepEx(5, TRUE);
        theirCalls = apcs.calls.load();
    });
    (void)other;
    while (!issued)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &mine, OnRead));
    EXPECT_TRUE(CancelIo(h));
    EXPECT_EQ(SleepEx(1000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcs.ov, &mine);
    EXPECT_EQ(echo::QueuedCount(), 1u);  // the other thread's read is still pending
    finish = true;
    thread.join();
    // Its thread has exited: its read was cancelled.
    EXPECT_EQ(echo::QueuedCount(), 0u);
    EXPECT_EQ(theirs.Internal, ULONG_PTR{0xC0000120u});
    CloseHandle(h);
}

TEST_F(FileIo, LastCloseSendsCleanupAndCloseFollowsTheLastRequest) {
    HANDLE h = Open();
    char buffer[4];
    OVERLAPPED ov{};
    ASSERT_TRUE(ReadFileEx(h, buffer, sizeof(buffer), &ov, OnRead));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(echo::Snapshot().cleanups, 1);
    EXPECT_EQ(echo::Snapshot().closes, 0);
    echo::CompleteOldest(0, 0, 0);
    // The close comes from the I/O manager's worker, not from inside the completion.
    ASSERT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_EQ(echo::Snapshot().closes, 1);
    EXPECT_EQ(echo::Snapshot().closesInsideCompletion, 0);
    EXPECT_EQ(SleepEx(1000, TRUE), WAIT_IO_COMPLETION);  // the read's routine still runs
}

}  // namespace
