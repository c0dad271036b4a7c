// Ending transfers through the exports: stop and abort with buffers in process, failed and
// refused reads, a flush followed at once by a stop, and release while running. Every buffer
// comes back exactly once, and no caller waits for a completion that cannot come.
#include <future>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

using StreamStop = StreamFixture;
using namespace std::chrono_literals;

TEST_F(StreamStop, StopReturnsOnceTheLastReadInProcessCompletes) {
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 3);
    streamer::SetFinishOnStop(u"\\AD0", false);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    auto stop = std::async(std::launch::async, [&] { return hxDaStop(hDass); });
    EXPECT_EQ(stop.wait_for(100ms), std::future_status::timeout);
    streamer::CompleteReads(u"\\AD0", 2);
    EXPECT_EQ(stop.wait_for(100ms), std::future_status::timeout);
    streamer::CompleteReads(u"\\AD0", 1);
    ASSERT_EQ(stop.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stop.get(), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    EXPECT_EQ(waitForMessages(4), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                                              HXWM_BUFFERDONE, HXWM_QUEUESTOPPED}));
    EXPECT_EQ(messages(50).size(), 4u);
    const std::vector<HBUF> done = takeDone(hDass);
    EXPECT_EQ(done, made);
    for (HBUF buffer : done)
        EXPECT_EQ(validSamples(buffer), 64u);
}

TEST_F(StreamStop, AbortHandsBackEveryBufferInProcess) {
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 10);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 8));
    streamer::CompleteReads(u"\\AD0", 2);
    ASSERT_EQ(waitForMessages(2).size(), 2u);
    ASSERT_EQ(hxDaAbort(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 0u);
    // An abort reports neither its cancelled buffers nor a stopped queue.
    EXPECT_EQ(messages(50), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE}));
    const std::vector<HBUF> done = takeDone(hDass);
    ASSERT_EQ(done.size(), 10u);
    expectSameBuffers(done, made);
    EXPECT_EQ(validSamples(done[0]), 64u);
    EXPECT_EQ(validSamples(done[1]), 64u);
    for (std::size_t i = 2; i < done.size(); ++i)
        EXPECT_EQ(validSamples(done[i]), 0u);
    // The subsystem streams again.
    for (HBUF buffer : done)
        ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 8));
    EXPECT_EQ(state(hDass), HXSTATE_RUNNING);
}

TEST_F(StreamStop, FailedReadsEndTheTransfer) {
    // The last read fails with nothing left to run: the transfer is over, so a stop or an abort
    // afterwards answers at once instead of waiting for a completion that never comes.
    for (const auto end : {hxDaStop, hxDaAbort}) {
        restart();
        const HDASS hDass = open();
        configure(hDass);
        const std::vector<HBUF> made = queue(hDass, 2);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
        streamer::FailReads(u"\\AD0", 2, streamer::DataError());
        EXPECT_EQ(waitForMessages(1), std::vector<std::uint32_t>{HXWM_QUEUESTOPPED});
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        const auto before = simclock::Now();
        EXPECT_EQ(end(hDass), HXSUBSYSNOTRUNNING);
        EXPECT_LT(simclock::Now() - before, 1s);
        const std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        for (HBUF buffer : done)
            EXPECT_EQ(validSamples(buffer), 0u);
        EXPECT_EQ(hxDaSetWrapMode(hDass, HXWRAP_MULTIPLE), HXNOERROR);
    }
}

TEST_F(StreamStop, RefusedReadsReturnTheirBuffers) {
    struct Case {
        const char* name;
        std::uint32_t refused;
        HXSTATUS start;
        std::int32_t state;
    };
    // All refused: nothing runs, the start fails. One refused: the others run to the end.
    for (const Case c : {Case{"All", 3, HXGENERALFAILURE, HXSTATE_READY},
                         Case{"One", 1, HXNOERROR, HXSTATE_RUNNING}}) {
        SCOPED_TRACE(c.name);
        restart();
        const HDASS hDass = open();
        configure(hDass);
        streamer::RefuseNextReads(u"\\AD0", c.refused);
        const std::vector<HBUF> made = queue(hDass, 3);
        EXPECT_EQ(hxDaStart(hDass), c.start);
        EXPECT_EQ(state(hDass), c.state);
        if (c.state == HXSTATE_RUNNING) {
            ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
            streamer::CompleteReads(u"\\AD0", 2);
            ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        }
        const std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        std::size_t empty = 0;
        for (HBUF buffer : done)
            empty += validSamples(buffer) == 0 ? 1 : 0;
        EXPECT_EQ(empty, c.refused);
        EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 0u);
    }
}

TEST_F(StreamStop, FlushFollowedAtOnceByStopRunsBoth) {
    const HDASS hDass = open();
    configure(hDass);
    queue(hDass, 2);
    HBUF target = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 16, &target), 0u);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
    ASSERT_EQ(hxDaFlushFromBufferInprocess(hDass, target, 5), HXNOERROR);
    ASSERT_EQ(hxDaStop(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    std::vector<std::uint32_t> codes = streamer::Codes(u"\\AD0");
    const auto flush = std::find(codes.begin(), codes.end(), IOCTL_HXDA_FLUSHINPROCESS);
    ASSERT_NE(flush, codes.end());
    EXPECT_NE(std::find(flush, codes.end(), IOCTL_HXDA_STOP), codes.end());
    const std::vector<HBUF> done = takeDone(hDass);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0], target);
    EXPECT_EQ(validSamples(target), 5u);  // 10 bytes asked, 2 bytes a sample
}

TEST_F(StreamStop, ReleaseWhileRunningCollectsEveryRequest) {
    const HDASS hDass = open();
    configure(hDass);
    queue(hDass, 4);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
    ASSERT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    // The copy thread has ended after its reads and event requests came back: nothing of the
    // driver still points into the released subsystem or its buffers.
    EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
    EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 0u);
    EXPECT_EQ(streamer::PendingEventRequests(u"\\AD0"), 0u);
    const std::vector<std::uint32_t> codes = streamer::Codes(u"\\AD0");
    EXPECT_NE(std::find(codes.begin(), codes.end(), IOCTL_HXDA_ABORT), codes.end());
}

TEST_F(StreamStop, TuningValuesOfTheDevice) {
    struct Case {
        const char* name;
        std::uint32_t messageOnAbort;
        std::uint32_t abortSleepMs;
        std::vector<std::uint32_t> messages;  // for three buffers delivered by an abort
    };
    const std::vector<Case> cases = {
        {"Quiet", 0, 0, {}},
        {"MessageOnAbort", 1, 0, {HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_BUFFERDONE}},
        {"AbortSleep", 0, 200, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
        device->messageOnAbort = c.messageOnAbort;
        device->abortSleepTimeMSecs = c.abortSleepMs;
        const HDASS hDass = open();
        configure(hDass);
        streamer::SetFinishOnAbort(u"\\AD0", true);
        const std::vector<HBUF> made = queue(hDass, 3);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
        const auto before = simclock::Now();
        ASSERT_EQ(hxDaAbort(hDass), HXNOERROR);
        EXPECT_GE(simclock::Now() - before, std::chrono::milliseconds(c.abortSleepMs));
        EXPECT_EQ(state(hDass), HXSTATE_READY);
        EXPECT_EQ(messages(50), c.messages);
        const std::vector<HBUF> done = takeDone(hDass);
        EXPECT_EQ(done, made);
        for (HBUF buffer : done)
            EXPECT_EQ(validSamples(buffer), 64u);
    }
}

TEST_F(StreamStop, NothingInProcessStopsAtOnce) {
    // Subsystems without buffers run with no read in process: their stop or abort is answered
    // as soon as the driver's request returns.
    for (const std::uint32_t type : {HXSS_DIN, HXSS_DOUT, HXSS_CT}) {
        for (const auto end : {hxDaStop, hxDaAbort}) {
            SCOPED_TRACE(type);
            restart();
            const HDASS hDass = open(type);
            configure(hDass, type == HXSS_CT ? 0 : HXWRAP_NONE);
            ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
            EXPECT_EQ(state(hDass), HXSTATE_RUNNING);
            const auto before = simclock::Now();
            EXPECT_EQ(end(hDass), HXNOERROR);
            EXPECT_LT(simclock::Now() - before, 5s);
            EXPECT_EQ(state(hDass), HXSTATE_READY);
            EXPECT_TRUE(messages(20).empty());
        }
    }
}

}  // namespace
}  // namespace hxda::test
