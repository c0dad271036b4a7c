// The user boundary on the echo driver: name resolution, buffer methods, cancel, cleanup/close.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "echo_driver.h"
#include "kernel/io_user.h"
#include "kernel/loader.h"
#include "kernel/testing.h"

namespace {

using namespace kernel::user_io;

struct Recorded {
    std::atomic<int> calls{0};
    std::atomic<std::int32_t> status{0};
    std::atomic<std::uint64_t> information{0};
    std::atomic<bool> notify{false};
    CompletionCallback Callback() {
        return [this](const Completion& c) {
            status = c.status;
            information = c.information;
            notify = c.notify;
            calls++;
        };
    }
};

struct EchoFixture : ::testing::Test {
    PDRIVER_OBJECT driver = nullptr;
    void SetUp() override {
        ASSERT_EQ(
            kernel::LoadDriver(u"Echo", echo::DriverEntry, u"\\Registry\\Machine\\Echo", &driver),
            STATUS_SUCCESS);
    }
    void TearDown() override {
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
        EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
        kernel::UnloadDriver(driver);
        EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
    }
    FileId OpenOk(const char* path) {
        OpenResult result = Open(path, 0xC0000000u, 1);
        EXPECT_EQ(result.status, STATUS_SUCCESS) << path;
        return result.file;
    }
};

TEST_F(EchoFixture, LongestPrefixSelectsDeviceAndRestBecomesFileName) {
    struct Case {
        const char* path;
        std::int32_t status;
        const char16_t* fileName;
    } cases[] = {
        {"\\\\.\\EchoB", STATUS_SUCCESS, u""},
        {"\\\\.\\echob\\AD0", STATUS_SUCCESS, u"\\AD0"},
        {"\\\\?\\EchoD\\DIN1", STATUS_SUCCESS, u"\\DIN1"},
        {"\\DosDevices\\EchoB\\CT0", STATUS_SUCCESS, u"\\CT0"},
        {"\\Device\\EchoBuffered\\x", STATUS_SUCCESS, u"\\x"},
        {"\\\\.\\EchoBX", STATUS_OBJECT_NAME_NOT_FOUND, nullptr},  // not at a component boundary
        {"\\\\.\\Nothing", STATUS_OBJECT_NAME_NOT_FOUND, nullptr},
        {"\\\\.\\EchoB\\refuse", STATUS_UNSUCCESSFUL, u"\\refuse"},  // the driver fails the create
    };
    for (const auto& c : cases) {
        OpenResult result = Open(c.path, 0, 1);
        EXPECT_EQ(result.status, c.status) << c.path;
        if (c.fileName) {
            EXPECT_EQ(echo::Snapshot().lastFileName, c.fileName) << c.path;
        }
        if (result.status == STATUS_SUCCESS)
            Close(result.file);
    }
    // A failed create is neither cleaned up nor closed.
    EXPECT_EQ(echo::Snapshot().cleanups, 5);
    EXPECT_EQ(echo::Snapshot().closes, 5);
}

TEST_F(EchoFixture, BufferedAndDirectCopyExactlyInformationBytes) {
    FileId file = OpenOk("\\\\.\\EchoB");
    for (std::uint32_t code : {IOCTL_ECHO_FILL, IOCTL_ECHO_FILL_DIRECT}) {
        std::vector<unsigned char> out(16, 0xEE);
        echo::EchoCommand command{5, 0x42, 0};
        Request request{
            Operation::DeviceControl, code,       &command,
            sizeof(command),          out.data(), static_cast<std::uint32_t>(out.size())};
        Recorded done;
        EXPECT_EQ(Submit(file, 1, request, done.Callback()), STATUS_SUCCESS);
        EXPECT_EQ(done.calls, 1);
        EXPECT_EQ(done.information, 5u);
        if (code == IOCTL_ECHO_FILL) {
            // Buffered: exactly Information bytes reach the caller; the rest stays as it was.
            for (int i = 0; i < 16; ++i)
                EXPECT_EQ(out[i], i < 5 ? 0x42 : 0xEE) << i;
        } else {
            // Direct: the driver wrote the caller's memory itself.
            for (int i = 0; i < 16; ++i)
                EXPECT_EQ(out[i], 0x42) << i;
        }
    }
    Close(file);
}

TEST_F(EchoFixture, ReadsUseTheDevicesMethod) {
    FileId buffered = OpenOk("\\\\.\\EchoB");
    FileId direct = OpenOk("\\\\.\\EchoD");
    std::vector<unsigned char> a(8, 0), b(8, 0);
    Recorded doneA, doneB;
    EXPECT_EQ(Submit(buffered, 1, {Operation::Read, 0, nullptr, 0, a.data(), 8}, doneA.Callback()),
              STATUS_PENDING);
    EXPECT_EQ(Submit(direct, 1, {Operation::Read, 0, nullptr, 0, b.data(), 8}, doneB.Callback()),
              STATUS_PENDING);
    EXPECT_EQ(doneA.calls + doneB.calls, 0);
    EXPECT_TRUE(echo::CompleteOldest(STATUS_SUCCESS, 3, 0x11));
    EXPECT_TRUE(echo::CompleteOldest(STATUS_SUCCESS, 3, 0x22));
    EXPECT_EQ(std::vector<unsigned char>(a.begin(), a.begin() + 4),
              (std::vector<unsigned char>{0x11, 0x11, 0x11, 0}));
    EXPECT_EQ(b, std::vector<unsigned char>(8, 0x22));
    EXPECT_TRUE(doneA.notify && doneB.notify);
    Close(buffered);
    Close(direct);
}

TEST_F(EchoFixture, ImmediateErrorIsNotNotifiedButPendedErrorIs) {
    FileId file = OpenOk("\\\\.\\EchoB");
    echo::EchoCommand command{0, 0, STATUS_INVALID_PARAMETER};
    Recorded now;
    EXPECT_EQ(
        Submit(file, 1, {Operation::DeviceControl, IOCTL_ECHO_FAIL, &command, sizeof(command)},
               now.Callback()),
        STATUS_INVALID_PARAMETER);
    EXPECT_EQ(now.calls, 1);
    EXPECT_FALSE(now.notify);

    Recorded later;
    EXPECT_EQ(Submit(file, 1, {Operation::DeviceControl, IOCTL_ECHO_PEND}, later.Callback()),
              STATUS_PENDING);
    echo::CompleteOldest(STATUS_DEVICE_DATA_ERROR, 0, 0);
    EXPECT_EQ(later.status, STATUS_DEVICE_DATA_ERROR);
    EXPECT_TRUE(later.notify);
    Close(file);
}

TEST_F(EchoFixture, CancelRequestsTakesOnlyThatIssuersRequestsOnThatFile) {
    FileId one = OpenOk("\\\\.\\EchoB");
    FileId two = OpenOk("\\\\.\\EchoB");
    Recorded mineOnOne, otherOnOne, mineOnTwo;
    Submit(one, 7, {Operation::Read}, mineOnOne.Callback());
    Submit(one, 8, {Operation::Read}, otherOnOne.Callback());
    Submit(two, 7, {Operation::Read}, mineOnTwo.Callback());
    CancelRequests(one, 7);
    EXPECT_EQ(mineOnOne.calls, 1);
    EXPECT_EQ(mineOnOne.status, STATUS_CANCELLED);
    EXPECT_EQ(otherOnOne.calls + mineOnTwo.calls, 0);
    CancelIssuerRequests(7);  // the issuer's thread ends
    EXPECT_EQ(mineOnTwo.status, STATUS_CANCELLED);
    EXPECT_EQ(otherOnOne.calls, 0);
    CancelIssuerRequests(8);
    EXPECT_EQ(otherOnOne.status, STATUS_CANCELLED);
    Close(one);
    Close(two);
}

// The close of a file whose last request completes after its cleanup comes from the I/O manager's
// worker at PASSIVE_LEVEL, never nested in the completing driver's IoCompleteRequest, whatever
// level the completion ran at.
TEST_F(EchoFixture, CloseAfterTheLastRequestComesFromAWorkerNeverFromTheCompletion) {
    for (KIRQL level : {KIRQL{PASSIVE_LEVEL}, KIRQL{DISPATCH_LEVEL}}) {
        const int closesBefore = echo::Snapshot().closes;
        FileId file = OpenOk("\\\\.\\EchoB");
        Recorded first, second;
        Submit(file, 1, {Operation::Read}, first.Callback());
        Submit(file, 1, {Operation::Read}, second.Callback());
        Close(file);  // the echo driver does not cancel at cleanup
        auto log = echo::Snapshot();
        EXPECT_EQ(log.cleanupsWithPending, closesBefore + 1);
        EXPECT_EQ(log.closes, closesBefore);
        echo::CompleteOldest(STATUS_SUCCESS, 0, 0);
        ASSERT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(echo::Snapshot().closes, closesBefore);  // one request still outstanding

        std::uint64_t completer = 0;
        std::thread([&] {
            completer = echo::CurrentThreadToken();
            KIRQL old;
            KeRaiseIrql(level, &old);
            echo::CompleteOldest(STATUS_SUCCESS, 0, 0);
            KeLowerIrql(old);
        }).join();
        ASSERT_TRUE(kernel::testing::DrainDeferredCloses());
        log = echo::Snapshot();
        EXPECT_EQ(log.closes, closesBefore + 1) << int{level};
        EXPECT_NE(log.closeThread, completer) << int{level};
        EXPECT_TRUE(log.closeAtPassive) << int{level};
    }
    EXPECT_EQ(echo::Snapshot().closesInsideCompletion, 0);
}

// An issuer that closes its file as soon as it hears of its last request finds nothing
// outstanding: the close reaches the driver before Close returns, so a device opened once can be
// opened again at once. A Close asked for inside the completion itself is left to the worker.
TEST_F(EchoFixture, CloseOnHearingTheLastCompletionReachesTheDriverAtOnce) {
    FileId file = OpenOk("\\\\.\\EchoB");
    std::atomic<bool> heard{false};
    Submit(file, 1, {Operation::Read}, [&](const Completion&) { heard = true; });
    std::thread issuer([&] {
        while (!heard)
            std::this_thread::yield();
        Close(file);
        EXPECT_EQ(echo::Snapshot().closes, 1);
    });
    std::thread([] { echo::CompleteOldest(STATUS_SUCCESS, 0, 0); }).join();
    issuer.join();

    FileId second = OpenOk("\\\\.\\EchoB");
    Submit(second, 1, {Operation::Read}, [&](const Completion&) { Close(second); });
    std::thread([] { echo::CompleteOldest(STATUS_SUCCESS, 0, 0); }).join();
    ASSERT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_EQ(echo::Snapshot().closes, 2);
    EXPECT_EQ(echo::Snapshot().closesInsideCompletion, 0);
}

// Cancel from many threads while the driver completes from others: every request is finished
// exactly once, by exactly one side. Run under ThreadSanitizer for the races.
TEST_F(EchoFixture, CancelRacesCompletionSafely) {
    FileId file = OpenOk("\\\\.\\EchoB");
    constexpr int kRounds = 200;
    std::vector<Recorded> done(kRounds);
    std::atomic<bool> stop{false};
    std::thread completer([&] {
        while (!stop)
            echo::CompleteOldest(STATUS_SUCCESS, 0, 0);
    });
    std::vector<std::thread> issuers;
    for (int t = 0; t < 4; ++t) {
        issuers.emplace_back([&, t] {
            for (int i = t; i < kRounds; i += 4) {
                Submit(file, 100 + t, {Operation::Read}, done[i].Callback());
                if (i % 2 == 0)
                    CancelRequests(file, 100 + t);
            }
            CancelIssuerRequests(100 + t);
        });
    }
    for (auto& thread : issuers)
        thread.join();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (kernel::testing::OutstandingUserRequests() > 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    completer.join();
    for (auto& d : done) {
        EXPECT_EQ(d.calls, 1);
        EXPECT_TRUE(d.status == STATUS_SUCCESS || d.status == STATUS_CANCELLED);
    }
    EXPECT_EQ(echo::QueuedCount(), 0u);
    Close(file);
}

// Issuers keep sending requests on a file while another thread closes it: a request either
// reaches the driver before the close or is refused with STATUS_INVALID_HANDLE, never dispatched
// after IRP_MJ_CLOSE.
TEST_F(EchoFixture, NoRequestReachesTheDriverAfterItsFilesClose) {
    constexpr int kRounds = 40;
    constexpr int kIssuers = 3;
    for (int round = 0; round < kRounds; ++round) {
        FileId file = OpenOk("\\\\.\\EchoB");
        std::atomic<int> started{0};
        std::vector<std::thread> issuers;
        for (int t = 0; t < kIssuers; ++t) {
            issuers.emplace_back([&, t] {
                echo::EchoCommand command{0, 0, 0};
                std::uint8_t out[4];
                ++started;
                for (;;) {
                    Recorded done;
                    const std::int32_t status =
                        Submit(file, 10 + t,
                               {Operation::DeviceControl, IOCTL_ECHO_FILL, &command,
                                sizeof(command), out, sizeof(out)},
                               done.Callback());
                    EXPECT_EQ(done.calls, 1);
                    if (status == STATUS_INVALID_HANDLE)
                        return;
                    EXPECT_EQ(status, STATUS_SUCCESS);
                }
            });
        }
        while (started < kIssuers)
            std::this_thread::yield();
        Close(file);
        for (auto& issuer : issuers)
            issuer.join();
    }
    ASSERT_TRUE(kernel::testing::DrainDeferredCloses());  // after a request still in flight
    EXPECT_EQ(echo::Snapshot().requestsAfterClose, 0);
    EXPECT_EQ(echo::Snapshot().closes, kRounds);
}

// A submission that fails before its IRP exists is told like an immediate failure, so that an
// issuer waiting for its completion returns.
TEST_F(EchoFixture, SubmissionWithoutAnIrpCompletesWithItsError) {
    FileId file = OpenOk("\\\\.\\EchoB");
    kernel::testing::FailPoolAllocation(1, kernel::testing::kIrpPoolTag);
    Recorded done;
    EXPECT_EQ(Submit(file, 1, {Operation::Read}, done.Callback()), STATUS_INSUFFICIENT_RESOURCES);
    kernel::testing::FailPoolAllocation(0);
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(done.notify);
    EXPECT_EQ(echo::Snapshot().reads, 0);
    Close(file);

    Recorded closed;
    EXPECT_EQ(Submit(file, 1, {Operation::Read}, closed.Callback()), STATUS_INVALID_HANDLE);
    EXPECT_EQ(closed.calls, 1);
    EXPECT_FALSE(closed.notify);
}

TEST(StatusMap, Win32ErrorsOfTheStatusesUsed) {
    struct Case {
        std::int32_t status;
        std::uint32_t error;
    } cases[] = {{STATUS_SUCCESS, 0},
                 {STATUS_PENDING, 997},
                 {STATUS_CANCELLED, 995},
                 {STATUS_UNSUCCESSFUL, 31},
                 {STATUS_INVALID_PARAMETER, 87},
                 {STATUS_BUFFER_TOO_SMALL, 122},
                 {STATUS_DELETE_PENDING, 5},
                 {STATUS_NOT_SUPPORTED, 50},
                 {STATUS_NOT_IMPLEMENTED, 1},
                 {STATUS_DEVICE_BUSY, 170},
                 {STATUS_INSUFFICIENT_RESOURCES, 1450},
                 {STATUS_NO_SUCH_DEVICE, 2},
                 {STATUS_INVALID_DEVICE_REQUEST, 1},
                 {STATUS_OBJECT_NAME_NOT_FOUND, 2},
                 {STATUS_TIMEOUT, 258},
                 {STATUS_BUFFER_OVERFLOW, 234},
                 {MQ_NTSTATUS(0xC0DE0001), 317}};
    for (const auto& c : cases)
        EXPECT_EQ(Win32ErrorFromStatus(c.status), c.error) << std::hex << c.status;
}

}  // namespace
