// Continuous input of the MQ5120 through the library, the board driver and the board model: a
// channel list with gains at clocks up to 500 kHz delivers every sample where the list says, in
// each wrap mode with its exact notifications; stop and abort with reads in process give every
// buffer back once.
#include <vector>

#include "e2e_mq5120_fixture.h"

namespace mq5120e2e {
namespace {

// Channels with their patterns, one without a signal, repeats and every gain.
const std::vector<ListEntry> kList = {{0, 1}, {3, 2}, {1, 8}, {3, 4}, {9, 1}, {2, 2}};
// The same over differential pairs (0 to 7).
const std::vector<ListEntry> kDifferentialList = {{3, 8}, {0, 1}, {7, 2}, {1, 4}, {0, 2}, {3, 1}};

// Samples in a buffer of `seconds` at `clock`, whole list passes.
std::uint32_t samplesFor(double clock, double seconds) {
    const auto samples = static_cast<std::uint32_t>(clock * seconds);
    return samples - samples % static_cast<std::uint32_t>(kList.size());
}

using Mq5120Stream = Mq5120Test;

// Wrap mode none: each buffer is reported, then the queue; the buffers hold the list's codes in
// order from the start, exactly as the driver's reads carried them; the clock produced is the
// board's divider of its 18 MHz clock.
TEST_F(Mq5120Stream, SinglePassAtEachClockDeliversEverySampleWhereTheListSays) {
    boot();
    struct Case {
        double requested;
        double produced;
        UINT channelType;
        const std::vector<ListEntry>* list;
    };
    for (const Case c : {Case{5'000, 5'000, HXCHANTYPE_SINGLEENDED, &kList},
                         Case{7'000, 18e6 / 2571, HXCHANTYPE_SINGLEENDED, &kList},
                         Case{100'000, 100'000, HXCHANTYPE_DIFFERENTIAL, &kDifferentialList},
                         Case{500'000, 500'000, HXCHANTYPE_SINGLEENDED, &kList},
                         Case{500'000, 500'000, HXCHANTYPE_DIFFERENTIAL, &kDifferentialList}}) {
        SCOPED_TRACE(testing::Message() << c.requested << " type " << c.channelType);
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, HXWRAP_NONE, c.requested, *c.list, HXTRIG_SOFTWARE, c.channelType);
        double clock = 0;
        ASSERT_EQ(hxDaGetClockFrequency(hDass, &clock), HXNOERROR);
        EXPECT_NEAR(clock, c.produced, 1e-3);
        CompletedReads reads;
        const std::uint32_t samples = samplesFor(c.requested, 0.04);
        const std::vector<HBUF> made = queue(hDass, 3, samples, &reads);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        EXPECT_EQ(waitForMessages(4),
                  (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                              HXWM_QUEUEDONE}));
        const std::vector<HBUF> done = takeDone(hDass);
        ASSERT_EQ(done, made);
        std::vector<std::uint16_t> delivered;
        for (HBUF buffer : done) {
            const std::vector<std::uint16_t> codes = samplesOf(buffer);
            EXPECT_EQ(codes.size(), samples);
            delivered.insert(delivered.end(), codes.begin(), codes.end());
        }
        const std::vector<std::uint16_t> expected = ExpectedCodes(*c.list, 3 * samples);
        EXPECT_EQ(FirstMismatch(delivered, expected), expected.size());
        EXPECT_EQ(reads.stream(), delivered);
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        opened.clear();
        messages.clear();
    }
}

// The continuous modes run until stopped: wrap multiple reports its first pass, then each reuse
// of the oldest buffer; wrap single circulates one buffer without a message. Stopped, the read in
// process ends and the stop is reported once. Every read carried the list's codes in order.
TEST_F(Mq5120Stream, ContinuousModesRunUntilStoppedWithoutLosingASample) {
    boot();
    struct Case {
        UINT wrap;
        double clock;
        std::size_t buffers;
    };
    for (const Case c : {Case{HXWRAP_MULTIPLE, 500'000, 3}, Case{HXWRAP_MULTIPLE, 20'000, 2},
                         Case{HXWRAP_SINGLE, 500'000, 1}, Case{HXWRAP_SINGLE, 20'000, 1}}) {
        SCOPED_TRACE(testing::Message() << c.wrap << " at " << c.clock);
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, c.wrap, c.clock, kList);
        CompletedReads reads;
        const std::vector<HBUF> made = queue(hDass, c.buffers, samplesFor(c.clock, 0.04), &reads);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        waitForMessages(0, 400);
        ASSERT_GE(reads.reads(), c.buffers + 3) << "a read every 40 ms";
        if (c.wrap == HXWRAP_MULTIPLE) {
            ASSERT_GE(messages.size(), c.buffers + 2);
            for (std::size_t i = 0; i < messages.size(); ++i)
                EXPECT_EQ(messages[i], i + 1 < c.buffers ? HXWM_BUFFERDONE : HXWM_BUFFERREUSED)
                    << "message " << i;
        } else {
            EXPECT_TRUE(messages.empty());
        }
        const std::size_t before = messages.size();
        ASSERT_EQ(hxDaStop(hDass), HXNOERROR);
        ASSERT_TRUE(waitForMessage(HXWM_QUEUESTOPPED));
        waitForMessages(0, 50);
        // A reuse that the copy thread made while the stop was on its way belongs to the run;
        // what follows it is the stop's own: the read in process, then the stop, once.
        auto stopBegins = messages.begin() + static_cast<std::ptrdiff_t>(before);
        while (stopBegins != messages.end() && *stopBegins == HXWM_BUFFERREUSED)
            ++stopBegins;
        const std::vector<std::uint32_t> tail(stopBegins, messages.end());
        EXPECT_EQ(tail, (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUESTOPPED}));

        const std::vector<std::uint16_t> stream = reads.stream();
        const std::vector<std::uint16_t> expected = ExpectedCodes(kList, stream.size());
        EXPECT_EQ(FirstMismatch(stream, expected), stream.size()) << "of " << stream.size();

        // Every buffer is back once: in the done list, or the circulating one in the ready list.
        EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 0u);
        EXPECT_EQ(queueSize(hDass, HXQUEUE_READY), c.wrap == HXWRAP_SINGLE ? 1u : 0u);
        if (c.wrap == HXWRAP_MULTIPLE)
            expectSameBuffers(takeDone(hDass), made);
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        opened.clear();
        messages.clear();
    }
}

// Stopped, the read in process is filled and handed back, those behind it come back empty;
// aborted, the read in process comes back with what it had and nothing is reported. Each buffer
// comes back once, and the subsystem starts again.
TEST_F(Mq5120Stream, StopAndAbortWithReadsInProcessGiveEveryBufferBackOnce) {
    boot();
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "stop");
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, HXWRAP_NONE, 20'000, kList);
        const std::uint32_t samples = samplesFor(20'000, 0.2);
        const std::vector<HBUF> made = queue(hDass, 4, samples);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        simclock::SleepFor(60ms);
        ASSERT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 4u);
        ASSERT_EQ(abort ? hxDaAbort(hDass) : hxDaStop(hDass), HXNOERROR);
        ASSERT_TRUE(idle(hDass));
        waitForMessages(0, 100);
        if (abort) {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages, (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUESTOPPED}));
        }
        const std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        ASSERT_EQ(done.size(), 4u);
        const std::vector<std::uint16_t> first = samplesOf(done[0]);
        const std::vector<std::uint16_t> expected = ExpectedCodes(kList, first.size());
        EXPECT_EQ(FirstMismatch(first, expected), first.size());
        for (std::size_t i = 1; i < done.size(); ++i)
            EXPECT_EQ(validSamples(done[i]), 0u) << "buffer " << i;
        if (abort) {
            EXPECT_LT(first.size(), samples);
        } else {
            EXPECT_EQ(first.size(), samples);
        }
        // Not running any more: it starts again.
        messages.clear();
        queue(hDass, 1, samplesFor(20'000, 0.02));
        EXPECT_EQ(hxDaStart(hDass), HXNOERROR);
        EXPECT_EQ(waitForMessages(2),
                  (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        opened.clear();
        messages.clear();
    }
}

// A flush in process hands out what the read in process holds so far as a buffer of its own, and
// that read goes on behind it: every sample comes once, in order.
TEST_F(Mq5120Stream, FlushInProcessHandsOutEverySampleOnce) {
    boot();
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_NONE, 20'000, kList);
    const std::uint32_t samples = samplesFor(20'000, 1.0);
    const std::vector<HBUF> made = queue(hDass, 2, samples);
    HBUF target = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, samples, &target), 0u);
    buffers.push_back(target);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    simclock::SleepFor(300ms);
    ASSERT_EQ(hxDaFlushFromBufferInprocess(hDass, target, samples), HXNOERROR);
    EXPECT_EQ(waitForMessages(4), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                                              HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
    const std::vector<HBUF> done = takeDone(hDass);
    ASSERT_EQ(done, (std::vector<HBUF>{target, made[0], made[1]}));
    const std::uint32_t flushed = validSamples(target);
    EXPECT_GT(flushed, 0u);
    EXPECT_LT(flushed, samples);
    const std::vector<std::uint16_t> delivered = samplesOf(done);
    const std::vector<std::uint16_t> expected = ExpectedCodes(kList, flushed + 2 * samples);
    EXPECT_EQ(FirstMismatch(delivered, expected), expected.size());
}

}  // namespace
}  // namespace mq5120e2e
