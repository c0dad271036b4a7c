// The read-completion observer: which completions it sees, with what, when, and its removal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "echo_driver.h"
#include "kernel/io_user.h"
#include "kernel/loader.h"
#include "kernel/testing.h"

namespace {

using namespace kernel::user_io;

struct Seen {
    const void* buffer;
    std::size_t bytes;
    unsigned char firstByte;  // the buffer's first byte as the observer found it
    int callbacksBefore;      // issuer callbacks already run when the observer ran
    bool operator==(const Seen&) const = default;
};

struct ObserverFixture : ::testing::Test {
    PDRIVER_OBJECT driver = nullptr;
    std::mutex mutex;
    std::vector<Seen> seen;
    std::atomic<int> callbacks{0};

    void SetUp() override {
        ASSERT_EQ(
            kernel::LoadDriver(u"Echo", echo::DriverEntry, u"\\Registry\\Machine\\Echo", &driver),
            STATUS_SUCCESS);
    }
    void TearDown() override {
        kernel::testing::SetCompletionObserver({});
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
        kernel::UnloadDriver(driver);
    }
    void Observe() {
        kernel::testing::SetCompletionObserver([this](const void* buffer, std::size_t bytes) {
            std::lock_guard guard(mutex);
            seen.push_back(
                {buffer, bytes, *static_cast<const unsigned char*>(buffer), callbacks.load()});
        });
    }
    CompletionCallback Counted() {
        return [this](const Completion&) { callbacks++; };
    }
    FileId OpenOk(const char* path) {
        OpenResult result = Open(path, 0xC0000000u, 1);
        EXPECT_EQ(result.status, STATUS_SUCCESS) << path;
        return result.file;
    }
    std::vector<Seen> Taken() {
        std::lock_guard guard(mutex);
        return std::exchange(seen, {});
    }
};

TEST_F(ObserverFixture, ReadsAreSeenWithTheCallersBufferFilledBeforeTheIssuerHears) {
    Observe();
    FileId buffered = OpenOk("\\\\.\\EchoB");
    FileId direct = OpenOk("\\\\.\\EchoD");
    std::vector<unsigned char> a(8, 0), b(8, 0), c(8, 0);
    Submit(buffered, 1, {Operation::Read, 0, nullptr, 0, a.data(), 8}, Counted());
    Submit(direct, 1, {Operation::Read, 0, nullptr, 0, b.data(), 8}, Counted());
    // A device control with an output buffer is no read.
    echo::EchoCommand fill{4, 0x33, 0};
    Submit(buffered, 1,
           {Operation::DeviceControl, IOCTL_ECHO_FILL, &fill, sizeof(fill), c.data(), 8},
           Counted());
    EXPECT_TRUE(echo::CompleteOldest(STATUS_SUCCESS, 3, 0x11));
    EXPECT_TRUE(echo::CompleteOldest(STATUS_SUCCESS, 8, 0x22));
    EXPECT_EQ(Taken(), (std::vector<Seen>{{a.data(), 3, 0x11, 1}, {b.data(), 8, 0x22, 2}}));

    // A read that fails (here cancelled) is seen with no bytes.
    Submit(direct, 1, {Operation::Read, 0, nullptr, 0, b.data(), 8}, Counted());
    CancelRequests(direct, 1);
    EXPECT_EQ(Taken(), (std::vector<Seen>{{b.data(), 0, 0x22, 3}}));
    Close(buffered);
    Close(direct);
}

TEST_F(ObserverFixture, RemovedObserverIsNotCalledAndRemovalWaitsForARunningOne) {
    FileId direct = OpenOk("\\\\.\\EchoD");
    std::vector<unsigned char> buffer(8, 0);
    std::atomic<bool> entered{false}, finished{false};
    kernel::testing::SetCompletionObserver([&](const void*, std::size_t) {
        entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        finished = true;
    });
    Submit(direct, 1, {Operation::Read, 0, nullptr, 0, buffer.data(), 8}, Counted());
    std::thread completer([] { echo::CompleteOldest(STATUS_SUCCESS, 8, 1); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!entered && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(entered);
    kernel::testing::SetCompletionObserver({});
    EXPECT_TRUE(finished);
    completer.join();

    // Without an observer nothing is reported, and a new one sees only what follows.
    Submit(direct, 1, {Operation::Read, 0, nullptr, 0, buffer.data(), 8}, Counted());
    echo::CompleteOldest(STATUS_SUCCESS, 8, 2);
    Observe();
    EXPECT_TRUE(Taken().empty());
    Submit(direct, 1, {Operation::Read, 0, nullptr, 0, buffer.data(), 8}, Counted());
    echo::CompleteOldest(STATUS_SUCCESS, 5, 3);
    EXPECT_EQ(Taken(), (std::vector<Seen>{{buffer.data(), 5, 3, 2}}));
    Close(direct);
}

}  // namespace
