// The library's requests to a driver on a subsystem file whose reads are in process: each waits
// for its own completion, whatever else of the file completes meanwhile.
#include <functional>

#include "driver/driver_requests.h"
#include "stream_fixture.h"

namespace hxda::test {
namespace {

using StreamRequests = StreamFixture;

// Polls (bounded) until the condition holds; false on time-out.
bool within(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST_F(StreamRequests, ARequestTheDriverHoldsReturnsOnlyWithItsOwnAnswerWhileReadsComplete) {
    constexpr std::uint32_t kHeldStatus = 33;
    constexpr std::uint32_t kHeldValue = 1234;
    const HDASS hDass = open();
    configure(hDass);
    queue(hDass, 4);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
    streamer::HoldRequests(u"\\AD0", IOCTL_HXDA_GETSINGLEVALUE);

    const std::shared_ptr<SubsystemRecord> record = findSubsystem(hDass);
    DriverRequest request = makeRequest();
    std::atomic<bool> returned{false};
    std::uint32_t status = 0;
    std::thread caller([&] {
        status = sendSubsystemRequest(*record, IOCTL_HXDA_GETSINGLEVALUE, request).code();
        returned = true;
    });
    ASSERT_TRUE(within([] { return streamer::HeldRequests(u"\\AD0") == 1; }, 5000));
    // The copy thread's reads complete on the same file while the request is held.
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 2), 2u);
    EXPECT_EQ(waitForMessages(2), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE}));
    EXPECT_FALSE(within([&] { return returned.load(); }, 100));
    ASSERT_TRUE(streamer::ReleaseHeld(u"\\AD0", kHeldStatus, kHeldValue));
    caller.join();
    EXPECT_EQ(status, kHeldStatus);
    EXPECT_EQ(request.parameters.singleValue.value, kHeldValue);
    EXPECT_EQ(hxDaAbort(hDass), HXNOERROR);
}

}  // namespace
}  // namespace hxda::test
