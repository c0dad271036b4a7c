// Events of stand-in boards through the library's exports: an overrun and the board's removal
// reported with the subsystem usable again, output streaming to its end, two subsystems started
// together, the frequency measurement on a counter, and the version of the board's driver file.
#include <cstring>

#include "e2e_sim_stream_fixture.h"

namespace simstream {
namespace {

using namespace std::chrono_literals;

TEST_P(SimStream, OverrunIsReportedAndTheSubsystemStartsAgain) {
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_NONE, 1000.0);
    const std::vector<HBUF> made = queue(hDass, 3, 1000);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_FALSE(sim::testing::InjectFault(GetParam().family, GetParam().serialNumber, HXSS_AD, 1,
                                           sim::testing::Fault::kOverrun))
        << "no such subsystem";
    ASSERT_TRUE(sim::testing::InjectFault(GetParam().family, GetParam().serialNumber, HXSS_AD, 0,
                                          sim::testing::Fault::kOverrun));
    ASSERT_TRUE(waitForMessage(HXWM_OVERRUNERROR));
    // The library aborts the transfer: every buffer comes back, and it starts again.
    std::vector<HBUF> back;
    for (int i = 0; i < 5000 && back.size() < made.size(); ++i) {
        const std::vector<HBUF> more = takeDone(hDass);
        back.insert(back.end(), more.begin(), more.end());
        simclock::SleepFor(1ms);
    }
    expectSameBuffers(back, made);
    EXPECT_EQ(countOf(HXWM_OVERRUNERROR), 1u);
    // Configured again right after the transfer ended, it starts again (100 ms of data).
    messages.clear();
    configure(hDass, HXWRAP_NONE, 1000.0);
    queue(hDass, 1, 100);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(waitForMessages(2), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
}

TEST_P(SimStream, RemovalIsReportedAndTheNextBootStreamsAgain) {
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_NONE, 1000.0);
    const std::vector<HBUF> made = queue(hDass, 3, 1000);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(sim::testing::InjectFault(GetParam().family, GetParam().serialNumber, 0, 0,
                                          sim::testing::Fault::kRemoval));
    ASSERT_TRUE(waitForMessage(HXWM_DEVICEREMOVAL));
    std::vector<HBUF> back;
    for (int i = 0; i < 5000 && back.size() < made.size(); ++i) {
        const std::vector<HBUF> more = takeDone(hDass);
        back.insert(back.end(), more.begin(), more.end());
        simclock::SleepFor(1ms);
    }
    expectSameBuffers(back, made);
    EXPECT_EQ(countOf(HXWM_DEVICEREMOVAL), 1u);
    // Gone: the board can be released but not started; the next boot has it again.
    queue(hDass, 1, 100);
    EXPECT_NE(hxDaStart(hDass), HXNOERROR);
    releaseAll();
    ASSERT_TRUE(machine.Reboot());
    ASSERT_EQ(hxDaInitialize(GetParam().name, &hDev), HXNOERROR);
    const HDASS again = open(HXSS_AD);
    configure(again, HXWRAP_NONE, 20000.0);
    queue(again, 1, 100);
    ASSERT_EQ(hxDaStart(again), HXNOERROR);
    EXPECT_TRUE(waitForMessage(HXWM_QUEUEDONE));
}

// Output: the buffers leave at the rate, then the board reports its output complete; the channel
// holds the last code sent.
TEST_P(SimStream, OutputStreamsToItsEnd) {
    if (!GetParam().continuousOutput)
        GTEST_SKIP() << "the family's D/A does not stream";
    const HDASS hDass = open(HXSS_DA);
    configure(hDass, HXWRAP_NONE, 2000.0, 1);
    std::vector<HBUF> made;
    for (std::uint16_t b = 0; b < 2; ++b) {
        HBUF buffer = 0;
        ASSERT_EQ(hxDmAllocBuffer(0, 100, &buffer), 0u);
        buffers.push_back(buffer);
        std::uint16_t codes[100];
        for (std::uint16_t i = 0; i < 100; ++i)
            codes[i] = static_cast<std::uint16_t>(1000 * (b + 1) + i);
        ASSERT_EQ(hxDmCopyToBuffer(buffer, codes, 100), 0u);
        ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
        made.push_back(buffer);
    }
    const simclock::Duration started = simclock::Now();
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(waitForMessages(4), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                                              HXWM_QUEUEDONE, HXWM_IOCOMPLETE}));
    EXPECT_GE(simclock::Now() - started, 100ms) << "200 samples at 2 kHz";
    EXPECT_EQ(takeDone(hDass), made);
    // Complete, it starts again.
    messages.clear();
    ASSERT_EQ(hxDaPutBuffer(hDass, made[0]), HXNOERROR);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_TRUE(waitForMessage(HXWM_IOCOMPLETE));
}

// A stop or an abort while output is leaving the board: every buffer comes back once; a stop waits
// for the board's output to complete, an abort does not.
TEST_P(SimStream, OutputStopAndAbortGiveEveryBufferBackOnce) {
    if (!GetParam().continuousOutput)
        GTEST_SKIP() << "the family's D/A does not stream";
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "stop");
        releaseSubsystems();
        const HDASS hDass = open(HXSS_DA);
        configure(hDass, HXWRAP_NONE, 1000.0, 1);
        const std::vector<HBUF> made = queue(hDass, 4, 1000);  // a second each
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        simclock::SleepFor(50ms);
        ASSERT_EQ(abort ? hxDaAbort(hDass) : hxDaStop(hDass), HXNOERROR);
        expectSameBuffers(takeDone(hDass), made);
        if (!abort) {
            ASSERT_TRUE(waitForMessage(HXWM_QUEUESTOPPED));
            ASSERT_TRUE(waitForMessage(HXWM_IOCOMPLETE));
            EXPECT_EQ(countOf(HXWM_BUFFERDONE), 4u);
        }
        // Not running any more: it starts again.
        ASSERT_EQ(hxDaPutBuffer(hDass, made[0]), HXNOERROR);
        EXPECT_EQ(hxDaStart(hDass), HXNOERROR);
    }
}

// The A/D and D/A prestarted, then started together: both stream.
TEST_P(SimStream, TwoSubsystemsStartTogether) {
    if (!GetParam().continuousOutput)
        GTEST_SKIP() << "the family's D/A does not stream";
    const HDASS input = open(HXSS_AD);
    const HDASS output = open(HXSS_DA);
    UINT together = 0;
    ASSERT_EQ(hxDaGetSSCaps(input, HXSSC_SIMULTANEOUSSTART, &together), HXNOERROR);
    if (together == 0)
        GTEST_SKIP() << "the family's subsystems do not start together";
    configure(input, HXWRAP_NONE, 20000.0);
    configure(output, HXWRAP_NONE, 20000.0, 1);
    queue(input, 2, 1000);
    queue(output, 2, 1000);
    HSSLIST list = 0;
    ASSERT_EQ(hxDaGetSSList(&list), HXNOERROR);
    ASSERT_EQ(hxDaPutDassToSSList(list, input), HXNOERROR);
    ASSERT_EQ(hxDaPutDassToSSList(list, output), HXNOERROR);
    ASSERT_EQ(hxDaSimultaneousPrestart(list), HXNOERROR);
    waitForMessages(0, 50);
    EXPECT_TRUE(messages.empty()) << "nothing moves before the start";
    ASSERT_EQ(hxDaSimultaneousStart(list), HXNOERROR);
    ASSERT_TRUE(waitForMessage(HXWM_QUEUEDONE, 2)) << "one from each";
    ASSERT_TRUE(waitForMessage(HXWM_IOCOMPLETE));
    waitForMessages(0, 20);
    EXPECT_EQ(countOf(HXWM_BUFFERDONE), 4u);
    EXPECT_EQ(countOf(HXWM_QUEUEDONE), 2u);
    EXPECT_EQ(hxDaReleaseSSList(list), HXNOERROR);
}

// The library's frequency measurement counts the counter's events over the gate time: a 1 kHz
// square wave.
TEST_P(SimStream, FrequencyMeasurementOnTheCounter) {
    if (!GetParam().measures)
        GTEST_SKIP() << "the family's counter does not measure";
    const HDASS counter = open(HXSS_CT);
    ASSERT_EQ(hxDaMeasureFrequency(counter, window, 0.25), HXNOERROR);
    ASSERT_TRUE(waitForMessage(HXWM_MEASUREDONE));
    const auto at = std::find(messages.begin(), messages.end(), HXWM_MEASUREDONE);
    const auto bits =
        static_cast<std::uint32_t>(lParams[static_cast<std::size_t>(at - messages.begin())]);
    float hertz = 0;
    std::memcpy(&hertz, &bits, sizeof hertz);
    // The gate's timer may fire late, never early: the count covers at least the gate time.
    EXPECT_GE(hertz, 996.0f);
    EXPECT_LE(hertz, 1500.0f);
}

// A counter's events reach the caller: a one-shot's pulse done (no value), and where the family
// measures edge to edge, the base-clock ticks of one period of the 1 kHz input, which ends the
// measurement.
TEST_P(SimStream, CounterEventsReachTheCaller) {
    if (!GetParam().measures)
        GTEST_SKIP() << "the family's counter does not start in a continuous flow";
    const HDASS counter = open(HXSS_CT);
    ASSERT_EQ(hxDaSetWndHandle(counter, window, 77), HXNOERROR);
    ASSERT_EQ(hxDaSetCTMode(counter, HXCTMODE_ONESHOT), HXNOERROR);
    ASSERT_EQ(hxDaConfig(counter), HXNOERROR);
    ASSERT_EQ(hxDaStart(counter), HXNOERROR);
    ASSERT_TRUE(waitForMessage(HXWM_EVENTDONE));
    EXPECT_EQ(lParams.back(), 0);
    EXPECT_EQ(hxDaStop(counter), HXNOERROR);

    UINT edgeToEdge = 0, baseClock = 0;
    ASSERT_EQ(hxDaGetSSCaps(counter, HXSSC_CTMODE_EDGETOEDGE, &edgeToEdge), HXNOERROR);
    ASSERT_EQ(hxDaGetSSCaps(counter, HXSSC_BASECLOCK, &baseClock), HXNOERROR);
    if (edgeToEdge == 0)
        return;
    messages.clear();
    lParams.clear();
    ASSERT_EQ(hxDaSetCTMode(counter, HXCTMODE_EDGETOEDGE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(counter), HXNOERROR);
    ASSERT_EQ(hxDaStart(counter), HXNOERROR);
    ASSERT_TRUE(waitForMessage(HXWM_EVENTDONE));
    EXPECT_EQ(lParams.back(), static_cast<LPARAM>(baseClock / 1000));
    // The measurement is over: the counter starts again without a stop.
    messages.clear();
    EXPECT_EQ(hxDaStart(counter), HXNOERROR);
    EXPECT_TRUE(waitForMessage(HXWM_EVENTDONE));
}

TEST_P(SimStream, TheBoardsDriverFileAnswersItsVersion) {
    char text[32] = {};
    ASSERT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXNOERROR);
    EXPECT_STREQ(text, "1.2.0.0");
}

}  // namespace
}  // namespace simstream
