// Continuous input through the exports onto the scripted streaming driver: the wrap modes with
// their exact notifications, pre-trigger buffers, the data width, the limit of reads in process
// and two subsystems at once.
#include <cstring>
#include <map>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

constexpr std::uint32_t kDone = HXWM_BUFFERDONE;
constexpr std::uint32_t kQueueDone = HXWM_QUEUEDONE;
constexpr std::uint32_t kReused = HXWM_BUFFERREUSED;
constexpr std::uint32_t kStopped = HXWM_QUEUESTOPPED;

using StreamInput = StreamFixture;

struct WrapCase {
    const char* name;
    std::uint32_t wrap;
    std::size_t buffers;
    std::size_t completions;              // reads the driver completes, one at a time
    std::vector<std::uint32_t> messages;  // notified meanwhile
    std::int32_t stateAfter;              // after those completions
    std::uint32_t inProcessAfter;
    std::vector<std::uint32_t> stopTail;  // notified by a stop afterwards (running cases)
};

TEST_F(StreamInput, WrapModesNotifyExactly) {
    const std::vector<WrapCase> cases = {
        // Two buffers done, then the queue is empty: the transfer aborts itself.
        {"None", HXWRAP_NONE, 2, 2, {kDone, kDone, kQueueDone}, HXSTATE_READY, 0, {}},
        // The last buffer is not reported; the oldest done buffer is read again instead.
        {"Multiple",
         HXWRAP_MULTIPLE,
         2,
         4,
         {kDone, kReused, kReused, kReused},
         HXSTATE_RUNNING,
         1,
         {kDone, kStopped}},
        // One buffer circulates through the ready list without notifications.
        {"Single", HXWRAP_SINGLE, 2, 3, {}, HXSTATE_RUNNING, 1, {kDone, kStopped}},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        const HDASS hDass = open();
        configure(hDass, c.wrap);
        const std::vector<HBUF> made = queue(hDass, c.buffers);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        for (std::size_t i = 0; i < c.completions; ++i) {
            ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 1));
            ASSERT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        }
        if (c.stateAfter == HXSTATE_READY)
            ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        else
            ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", c.inProcessAfter));
        EXPECT_EQ(waitForMessages(c.messages.size()), c.messages);
        EXPECT_EQ(messages(50), c.messages);  // and nothing more
        EXPECT_EQ(state(hDass), c.stateAfter);
        EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), c.inProcessAfter);
        std::vector<std::uint32_t> all = c.messages;
        if (c.stateAfter == HXSTATE_RUNNING) {
            ASSERT_EQ(hxDaStop(hDass), HXNOERROR);
            EXPECT_EQ(state(hDass), HXSTATE_READY);
            all.insert(all.end(), c.stopTail.begin(), c.stopTail.end());
            EXPECT_EQ(waitForMessages(all.size()), all);
        }
        for (const Notification& n : received) {
            EXPECT_EQ(n.wParam, static_cast<WPARAM>(hDass));
            EXPECT_EQ(n.lParam, 77);
        }
        // Every buffer is back, in the done list or (circulating) in the ready list.
        std::vector<HBUF> back = takeDone(hDass);
        const std::vector<HBUF> ready = takeReady(hDass);
        back.insert(back.end(), ready.begin(), ready.end());
        expectSameBuffers(back, made);
    }
}

TEST_F(StreamInput, FinishedBuffersCarryTheirDataInOrder) {
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 3, 32);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    ASSERT_EQ(streamer::CompleteReads(u"\\AD0", 3), 3u);
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    const std::vector<HBUF> done = takeDone(hDass);
    ASSERT_EQ(done, made);
    std::uint32_t lastStamp = 0;
    std::uint16_t expected = 0;
    for (HBUF buffer : done) {
        EXPECT_EQ(validSamples(buffer), 32u);
        std::uint32_t stamp = 0, bits = 0;
        hxDmGetBufferStamp(buffer, &stamp);
        hxDmGetDataBits(buffer, &bits);
        EXPECT_GT(stamp, lastStamp);
        lastStamp = stamp;
        EXPECT_EQ(bits, 16u);
        std::uint16_t samples[32];
        ASSERT_EQ(hxDmCopyFromBuffer(buffer, samples, 32), 0u);
        for (std::uint16_t sample : samples)
            EXPECT_EQ(sample, expected++);
    }
    // The transfer ended itself with the driver's abort request.
    const std::vector<std::uint32_t> codes = streamer::Codes(u"\\AD0");
    EXPECT_NE(std::find(codes.begin(), codes.end(), IOCTL_HXDA_ABORT), codes.end());
}

TEST_F(StreamInput, DataWidthFollowsTheResolution) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t width;
    };
    for (const Case c : {Case{8, 1}, Case{12, 2}, Case{16, 2}, Case{24, 4}}) {
        SCOPED_TRACE(c.bits);
        restart();
        const HDASS hDass = open();
        configure(hDass);
        testing::configurationOf(hDass)->resolution = c.bits;
        const std::vector<HBUF> made = queue(hDass, 1, 64);  // 128 bytes
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 1));
        streamer::CompleteReads(u"\\AD0", 1);
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        std::uint32_t width = 0, bits = 0;
        hxDmGetDataWidth(made[0], &width);
        hxDmGetDataBits(made[0], &bits);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(bits, c.bits);
        EXPECT_EQ(validSamples(made[0]), 128u / c.width);
    }
}

TEST_F(StreamInput, AtMostEightReadsInProcess) {
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 11);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 8));
    EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 8u);
    EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 8u);
    EXPECT_EQ(queueSize(hDass, HXQUEUE_READY), 3u);
    // Each completion hands the next ready buffer to the driver.
    streamer::CompleteReads(u"\\AD0", 2);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 8));
    EXPECT_EQ(queueSize(hDass, HXQUEUE_READY), 1u);
    ASSERT_EQ(hxDaStop(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    std::vector<HBUF> back = takeDone(hDass);
    EXPECT_EQ(back.size(), 10u);
    const std::vector<HBUF> ready = takeReady(hDass);
    back.insert(back.end(), ready.begin(), ready.end());
    expectSameBuffers(back, made);
}

TEST_F(StreamInput, PretriggerBuffersUntilTheTrigger) {
    const HDASS hDass = open();
    configure(hDass, HXWRAP_NONE, HXDF_CONTABOUTTRIG);
    queue(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    streamer::CompleteReads(u"\\AD0", 1);
    ASSERT_EQ(waitForMessages(1), std::vector<std::uint32_t>{HXWM_PRETRIGBUFFERDONE});
    streamer::RaiseEvent(u"\\AD0", HXEV_TRIGGER);
    // The request is renewed once the copy thread has taken the trigger.
    ASSERT_TRUE(streamer::WaitForPendingEventRequests(u"\\AD0", 3));
    streamer::CompleteReads(u"\\AD0", 2);
    EXPECT_EQ(waitForMessages(4),
              (std::vector<std::uint32_t>{HXWM_PRETRIGBUFFERDONE, kDone, kDone, kQueueDone}));
}

TEST_F(StreamInput, TriggerAbortsAPretriggerOnlyTransfer) {
    const HDASS hDass = open();
    configure(hDass, HXWRAP_NONE, HXDF_CONTPRETRIG);
    const std::vector<HBUF> made = queue(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    streamer::CompleteReads(u"\\AD0", 1);
    streamer::RaiseEvent(u"\\AD0", HXEV_TRIGGER);
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    EXPECT_EQ(messages(50), std::vector<std::uint32_t>{HXWM_PRETRIGBUFFERDONE});
    const std::vector<HBUF> back = takeDone(hDass);
    expectSameBuffers(back, made);
    EXPECT_EQ(validSamples(back[0]), 64u);
    EXPECT_EQ(validSamples(back[1]), 0u);  // cancelled by the abort
}

TEST_F(StreamInput, TwoSubsystemsStreamAtOnce) {
    const HDASS first = open(HXSS_AD, 0);
    const HDASS second = open(HXSS_AD, 1);
    streamer::SetUnpaced(u"\\AD0", true);
    streamer::SetUnpaced(u"\\AD1", true);
    configure(first);
    configure(second);
    const std::vector<HBUF> madeFirst = queue(first, 20, 256);
    const std::vector<HBUF> madeSecond = queue(second, 20, 256);
    ASSERT_EQ(hxDaStart(first), HXNOERROR);
    ASSERT_EQ(hxDaStart(second), HXNOERROR);
    ASSERT_TRUE(waitForState(first, HXSTATE_READY));
    ASSERT_TRUE(waitForState(second, HXSTATE_READY));
    waitForNotifications(42);
    std::map<WPARAM, std::vector<std::uint32_t>> perSubsystem;
    for (const Notification& n : received)
        perSubsystem[n.wParam].push_back(n.message);
    std::vector<std::uint32_t> expected(20, kDone);
    expected.push_back(kQueueDone);
    EXPECT_EQ(perSubsystem[first], expected);
    EXPECT_EQ(perSubsystem[second], expected);
    for (auto [hDass, made] : {std::pair{first, madeFirst}, std::pair{second, madeSecond}}) {
        const std::vector<HBUF> done = takeDone(hDass);
        EXPECT_EQ(done, made);
        // Each stream's samples run on across its buffers.
        std::uint16_t expectedSample = 0;
        for (HBUF buffer : done) {
            std::uint16_t samples[256];
            ASSERT_EQ(hxDmCopyFromBuffer(buffer, samples, 256), 0u);
            EXPECT_EQ(samples[0], expectedSample);
            EXPECT_EQ(samples[255], static_cast<std::uint16_t>(expectedSample + 255));
            expectedSample = static_cast<std::uint16_t>(expectedSample + 256);
        }
    }
}

}  // namespace
}  // namespace hxda::test
