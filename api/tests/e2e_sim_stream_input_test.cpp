// Continuous input through the library's exports on stand-in boards of each family that streams:
// the message sequence of each wrap mode, the samples' codes as the board's signals give them,
// and stop and abort with buffers in process.
#include "e2e_sim_stream_fixture.h"

namespace simstream {
namespace {

using namespace std::chrono_literals;

// A single pass: every buffer is reported, then the queue; the samples run on across buffers in
// the channel list's order, and the subsystem can start again.
TEST_P(SimStream, SinglePassDeliversEverySampleInOrder) {
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_NONE, 20000.0);
    const std::vector<HBUF> made = queue(hDass, 3, 500);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(waitForMessages(4), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                                              HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
    const std::vector<HBUF> done = takeDone(hDass);
    ASSERT_EQ(done, made);
    std::size_t n = 0;
    for (HBUF buffer : done) {
        const std::vector<std::uint16_t> samples = samplesOf(buffer);
        ASSERT_EQ(samples.size(), 500u);
        for (std::uint16_t sample : samples) {
            ASSERT_EQ(sample, ExpectedCode(n)) << "sample " << n;
            ++n;
        }
    }
    // Ended, it starts again.
    messages.clear();
    queue(hDass, 1, 100);
    EXPECT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(waitForMessages(2), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
}

// The continuous modes never run dry: a reused queue reports its first buffer, then each reuse;
// a single circulating buffer reports nothing. A stop reports what was in process, then the stop.
TEST_P(SimStream, ContinuousModesRunUntilStopped) {
    struct Case {
        std::uint32_t wrap;
        std::size_t buffers;
        std::uint32_t firstMessage;  // 0: none while running
    };
    for (const Case& c : {Case{HXWRAP_MULTIPLE, 2, HXWM_BUFFERDONE}, Case{HXWRAP_SINGLE, 1, 0}}) {
        SCOPED_TRACE(c.wrap);
        releaseSubsystems();
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, c.wrap, 20000.0);
        const std::vector<HBUF> made = queue(hDass, c.buffers, 200);  // 10 ms each
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        waitForMessages(0, 150);
        if (c.firstMessage != 0) {
            ASSERT_GE(messages.size(), 3u) << "a reuse every 10 ms";
            EXPECT_EQ(messages[0], c.firstMessage);
            EXPECT_EQ(countOf(HXWM_BUFFERREUSED), messages.size() - 1);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        const std::size_t before = messages.size();
        ASSERT_EQ(hxDaStop(hDass), HXNOERROR);
        ASSERT_TRUE(waitForMessage(HXWM_QUEUESTOPPED));
        waitForMessages(0, 20);
        const std::vector<std::uint32_t> tail(
            messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end());
        ASSERT_FALSE(tail.empty());
        EXPECT_EQ(tail.back(), HXWM_QUEUESTOPPED);
        EXPECT_EQ(std::count(tail.begin(), tail.end(), HXWM_QUEUESTOPPED), 1);
        // Every buffer is back once: in the done list, or the circulating one in the ready list.
        UINT ready = ~0u, inProcess = ~0u;
        EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_READY, &ready), HXNOERROR);
        EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_INPROCESS, &inProcess), HXNOERROR);
        EXPECT_EQ(inProcess, 0u);
        const std::vector<HBUF> back = takeDone(hDass);
        EXPECT_EQ(ready, c.wrap == HXWRAP_SINGLE ? 1u : 0u);
        if (c.wrap == HXWRAP_SINGLE) {
            EXPECT_TRUE(back.empty());
            continue;
        }
        expectSameBuffers(back, made);
    }
}

// Stopped, the buffer in process keeps the samples it got and those behind it come back empty,
// each reported; aborted, all come back without a message. Either way each buffer comes back once.
TEST_P(SimStream, StopAndAbortGiveEveryBufferBackOnce) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "stop");
        releaseSubsystems();
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, HXWRAP_NONE, 1000.0);
        const std::vector<HBUF> made = queue(hDass, 4, 1000);  // a second each
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        simclock::SleepFor(50ms);
        ASSERT_EQ(abort ? hxDaAbort(hDass) : hxDaStop(hDass), HXNOERROR);
        waitForMessages(abort ? 0 : 5, abort ? 50 : 10000);
        const std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        if (abort) {
            EXPECT_TRUE(messages.empty());
            for (HBUF buffer : done)
                EXPECT_EQ(validSamples(buffer), 0u);
        } else {
            EXPECT_EQ(messages,
                      (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                                  HXWM_BUFFERDONE, HXWM_QUEUESTOPPED}));
            ASSERT_EQ(done.size(), 4u);
            const std::vector<std::uint16_t> first = samplesOf(done[0]);
            EXPECT_GT(first.size(), 0u);
            EXPECT_LT(first.size(), 1000u);
            for (std::size_t n = 0; n < first.size(); ++n)
                ASSERT_EQ(first[n], ExpectedCode(n));
            for (std::size_t i = 1; i < done.size(); ++i)
                EXPECT_EQ(validSamples(done[i]), 0u);
        }
        // Not running any more: it starts again.
        queue(hDass, 1, 10);
        EXPECT_EQ(hxDaStart(hDass), HXNOERROR);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, SimStream, ::testing::ValuesIn(kBoards), BoardName);

}  // namespace
}  // namespace simstream
