// Continuous output through the exports: buffers go to the driver and come back with their data;
// the transfer ends when the board reports its output complete, also while a stop waits.
#include <future>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

using namespace std::chrono_literals;

class StreamOutputBuffers : public StreamFixture {
  protected:
    std::vector<HBUF> queueOutput(HDASS hDass, std::size_t count) {
        std::vector<HBUF> made;
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDmAllocBuffer(0, 64, &buffer), 0u);
            std::uint16_t samples[64];
            for (std::uint16_t s = 0; s < 64; ++s)
                samples[s] = static_cast<std::uint16_t>(1000 * (i + 1) + s);
            EXPECT_EQ(hxDmCopyToBuffer(buffer, samples, 64), 0u);
            EXPECT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
            made.push_back(buffer);
        }
        return made;
    }
};

TEST_F(StreamOutputBuffers, QueueDoneThenTheBoardCompletesTheOutput) {
    const HDASS hDass = open(HXSS_DA);
    configure(hDass);
    const std::vector<HBUF> made = queueOutput(hDass, 2);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\DA0", 2));
    streamer::CompleteReads(u"\\DA0", 2);
    EXPECT_EQ(waitForMessages(3),
              (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
    // The output is still leaving the board: no abort, still running.
    EXPECT_EQ(state(hDass), HXSTATE_RUNNING);
    const std::vector<std::uint32_t> codes = streamer::Codes(u"\\DA0");
    EXPECT_EQ(std::find(codes.begin(), codes.end(), IOCTL_HXDA_ABORT), codes.end());
    streamer::RaiseEvent(u"\\DA0", HXEV_IOCOMPLETE);
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    EXPECT_EQ(waitForMessages(4).back(), HXWM_IOCOMPLETE);
    const std::vector<HBUF> done = takeDone(hDass);
    EXPECT_EQ(done, made);
    for (std::size_t i = 0; i < done.size(); ++i) {
        std::uint16_t samples[64];
        ASSERT_EQ(hxDmCopyFromBuffer(done[i], samples, 64), 0u);
        EXPECT_EQ(samples[0], 1000 * (i + 1));
        EXPECT_EQ(samples[63], 1000 * (i + 1) + 63);
    }
}

TEST_F(StreamOutputBuffers, StopEndsWhenOutputCompletedBeforeTheLastWrite) {
    const HDASS hDass = open(HXSS_DA);
    configure(hDass);
    const std::vector<HBUF> made = queueOutput(hDass, 2);
    streamer::SetFinishOnStop(u"\\DA0", false);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\DA0", 2));
    auto stop = std::async(std::launch::async, [&] { return hxDaStop(hDass); });
    // The board reports its output complete while the stop waits for the last two writes.
    for (int i = 0; i < 5000; ++i) {
        const std::vector<std::uint32_t> codes = streamer::Codes(u"\\DA0");
        if (std::find(codes.begin(), codes.end(), IOCTL_HXDA_STOP) != codes.end())
            break;
        std::this_thread::sleep_for(1ms);
    }
    streamer::RaiseEvent(u"\\DA0", HXEV_IOCOMPLETE);
    ASSERT_EQ(waitForMessages(1), std::vector<std::uint32_t>{HXWM_IOCOMPLETE});
    EXPECT_EQ(stop.wait_for(50ms), std::future_status::timeout);
    streamer::CompleteReads(u"\\DA0", 2);
    ASSERT_EQ(stop.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stop.get(), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    EXPECT_EQ(waitForMessages(4), (std::vector<std::uint32_t>{HXWM_IOCOMPLETE, HXWM_BUFFERDONE,
                                                              HXWM_BUFFERDONE, HXWM_QUEUESTOPPED}));
    expectSameBuffers(takeDone(hDass), made);
    // A stopped output can start again at once.
    queueOutput(hDass, 1);
    EXPECT_EQ(hxDaStart(hDass), HXNOERROR);
}

TEST_F(StreamOutputBuffers, AbortDoesNotWaitForTheOutputToDrain) {
    const HDASS hDass = open(HXSS_DA);
    configure(hDass);
    const std::vector<HBUF> made = queueOutput(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\DA0", 3));
    const auto before = simclock::Now();
    ASSERT_EQ(hxDaAbort(hDass), HXNOERROR);
    EXPECT_LT(simclock::Now() - before, 5s);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    const std::vector<HBUF> done = takeDone(hDass);
    expectSameBuffers(done, made);
    // An output buffer keeps its samples when its write is cancelled.
    for (HBUF buffer : done)
        EXPECT_EQ(validSamples(buffer), 64u);
}

}  // namespace
}  // namespace hxda::test
