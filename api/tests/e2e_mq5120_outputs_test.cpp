// The MQ5120's outputs, counters and digital ports through the library, the board driver and the
// board model, on the stand-ins' manual clock: what the board puts out is checked in the model's
// output log at the board's own times, so nothing depends on the host keeping up.
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "e2e_mq5120_fixture.h"
#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"

namespace mq5120e2e {
namespace {

// The notification words; a message's wParam names its subsystem.
constexpr LPARAM kDaWord = 88;
constexpr LPARAM kPortWord = 99;

class Mq5120Outputs : public Mq5120Test {
  protected:
    using Mq5120Test::countOf;

    // A continuous D/A configuration of the listed outputs, notifications to the window.
    void configureDa(HDASS hDass, UINT wrap, double rate, const std::vector<UINT>& channels) {
        ASSERT_EQ(hxDaSetWndHandle(hDass, window, kDaWord), HXNOERROR);
        ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_CONTINUOUS), HXNOERROR);
        ASSERT_EQ(hxDaSetWrapMode(hDass, wrap), HXNOERROR);
        ASSERT_EQ(hxDaSetClockFrequency(hDass, rate), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelListSize(hDass, static_cast<UINT>(channels.size())), HXNOERROR);
        for (std::size_t i = 0; i < channels.size(); ++i)
            ASSERT_EQ(hxDaSetChannelListEntry(hDass, static_cast<UINT>(i), channels[i]), HXNOERROR);
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    }
    // Buffers of codes first, first + 1, ... on the D/A's ready list.
    std::vector<HBUF> queueCodes(HDASS hDass, std::size_t count, std::uint32_t samples,
                                 std::uint16_t first) {
        std::uint16_t next = first;
        return BoardSession::queue(hDass, count, samples, [&](HBUF buffer) {
            void* data = nullptr;
            ASSERT_EQ(hxDmGetBufferPtr(buffer, &data), 0u);
            auto* codes = static_cast<std::uint16_t*>(data);
            for (std::uint32_t i = 0; i < samples; ++i)
                codes[i] = next++;
        });
    }
    sim::testing::BoardOutputs outputs(bool clear = false) {
        return sim::testing::ReadBoardOutputs("MQ5120", 1, clear);
    }
    // Lets the simulation run for `span` of the clock, then until the other threads are done
    // with that moment.
    static void passTime(std::chrono::microseconds span) {
        simclock::SleepFor(span);
        simclock::testing::Settle();
    }
    // One output's changes, with times from `origin`.
    std::vector<std::pair<std::int64_t, std::uint32_t>> changesOf(int channel,
                                                                  std::int64_t origin) {
        std::vector<std::pair<std::int64_t, std::uint32_t>> changes;
        for (const auto& change : outputs().changes)
            if (change.channel == channel)
                changes.push_back({change.timeNs - origin, change.value});
        return changes;
    }
    // Lets the simulation run in steps of the clock until `done` holds or `limit` of clock time
    // has passed; true when it held. With `fed`, each step checks that the host has kept the
    // D/A's memory at least that full: on the virtual clock the library and the driver refill it
    // as soon as the board asks, however slowly the host runs them.
    template <class Done>
    bool advanceUntil(Done done, std::chrono::milliseconds limit,
                      std::chrono::microseconds step = std::chrono::milliseconds(2),
                      unsigned long fed = 0) {
        for (auto spent = std::chrono::microseconds(0); spent < limit; spent += step) {
            collectMessages();
            if (done())
                return true;
            if (fed != 0) {
                EXPECT_GE(outputs().daMemorySamples, fed) << "ran dry after " << spent.count();
            }
            passTime(step);
        }
        collectMessages();
        return done();
    }
    // The messages of one subsystem.
    std::size_t countOf(std::uint32_t message, HDASS hDass) const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < messages.size(); ++i)
            n += messages[i] == message && wParams[i] == static_cast<WPARAM>(hDass);
        return n;
    }
    std::int64_t now() const { return simclock::Now().count(); }
    std::string seen() const {
        std::string text;
        for (std::size_t i = 0; i < messages.size(); ++i)
            text += std::to_string(messages[i]) + "/" + std::to_string(wParams[i]) + "/" +
                    std::to_string(lParams[i]) + " ";
        return text;
    }
};

// The D/A plays three queued buffers on output 1 at 1 kHz while the A/D converts input 0, wired to
// output 1, at 2 kHz: every sample appears in order at its update time, the transfer ends with I/O
// complete, and each conversion reads the level the output had at its own time.
TEST_F(Mq5120Outputs, AStreamPlaysAtTheClockAndComesBackThroughTheInputWiredToIt) {
    boot({"MQ5120 4 1 AD0.0=DA0.1"});
    constexpr std::uint32_t kSamples = 100;
    constexpr std::uint32_t kConversions = 1024;  // two of the board's A/D transfers
    const HDASS da = open(HXSS_DA);
    configureDa(da, HXWRAP_NONE, 1000, {1});
    const std::vector<HBUF> played = queueCodes(da, 3, kSamples, 0x4000);
    const HDASS ad = open(HXSS_AD);
    configure(ad, HXWRAP_NONE, 2000, {{0, 1}});
    CompletedReads reads;
    queue(ad, 1, kConversions, &reads);

    outputs(true);
    const std::int64_t origin = now();
    ASSERT_EQ(hxDaStart(ad), HXNOERROR);
    ASSERT_EQ(hxDaStart(da), HXNOERROR);
    // Both start at the same instant of the clock: the D/A once the board has the first buffer.
    // The three buffers go into the board's memory at once, with no time passing.
    ASSERT_TRUE(simclock::testing::Settle());
    collectMessages();
    ASSERT_EQ(countOf(HXWM_BUFFERDONE, da), 3u) << seen();
    ASSERT_TRUE(outputs().daRunning);
    ASSERT_EQ(now(), origin);

    ASSERT_TRUE(advanceUntil([&] { return countOf(HXWM_IOCOMPLETE, da) == 1; }, 1000ms)) << seen();
    const auto changes = changesOf(1, origin);
    ASSERT_EQ(changes.size(), 3 * kSamples);
    for (std::uint32_t u = 0; u < changes.size(); ++u) {
        ASSERT_EQ(changes[u].second, 0x4000 + u) << "update " << u;
        ASSERT_EQ(changes[u].first, (u + 1) * 1'000'000ll) << "update " << u;
    }
    EXPECT_EQ(takeDone(da), played);
    EXPECT_EQ(outputs().daUnderruns, 0u);

    ASSERT_TRUE(advanceUntil([&] { return reads.reads() == 1; }, 2000ms));
    const std::vector<std::uint16_t> samples = reads.stream();
    ASSERT_EQ(samples.size(), kConversions);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        // Conversion k at k / 2 ms reads update k / 2 - 1 (at k / 2 ms), the level before the
        // first until then, the last one after the stream.
        const std::size_t updates = std::min<std::size_t>(k / 2, 3 * kSamples);
        const std::uint32_t expected = updates == 0 ? 0 : 0x4000 + updates - 1;
        ASSERT_EQ(samples[k], expected) << "conversion " << k;
    }
}

// Wrap single repeats the buffer until the stop; stop and abort in each wrap mode return at once,
// give every buffer back and leave the subsystem configurable and running again.
TEST_F(Mq5120Outputs, StopAndAbortInEveryWrapModeLeaveTheDaUsable) {
    boot({"MQ5120 4 1"});
    const HDASS da = open(HXSS_DA);
    for (const UINT wrap : {HXWRAP_NONE, HXWRAP_MULTIPLE, HXWRAP_SINGLE}) {
        for (const bool abort : {false, true}) {
            SCOPED_TRACE(testing::Message() << wrap << (abort ? " abort" : " stop"));
            // At 200 kHz the board's memory holds 0.65 s: a stop plays that out.
            configureDa(da, wrap, 200'000, {0});
            const std::size_t count = wrap == HXWRAP_SINGLE ? 1 : 2;
            // Wrap none: enough that the stop comes well before the end of the data.
            const std::uint32_t samples = wrap == HXWRAP_NONE ? 2000 : 50;
            const std::vector<HBUF> made = queueCodes(da, count, samples, 1000);
            outputs(true);
            const std::int64_t origin = now();
            ASSERT_EQ(hxDaStart(da), HXNOERROR);
            for (int waited = 0; !outputs().daRunning && waited < 5000; ++waited)
                waitForMessages(0, 1);
            ASSERT_TRUE(outputs().daRunning);
            // More than one pass of the buffers; wrap multiple refills the board's memory, which
            // each step of 100 updates waits for.
            const std::size_t played = wrap == HXWRAP_NONE ? 60 : 120;
            ASSERT_TRUE(advanceUntil([&] { return changesOf(0, origin).size() >= played; }, 100ms,
                                     std::chrono::microseconds(500),
                                     wrap == HXWRAP_MULTIPLE ? 100 : 0));
            if (wrap == HXWRAP_SINGLE) {
                const auto changes = changesOf(0, origin);
                for (std::size_t u = 0; u < changes.size(); ++u)
                    ASSERT_EQ(changes[u].second, 1000 + u % 50) << "repeated, update " << u;
            }
            // The stop waits on the clock while the board plays out what it holds.
            ASSERT_EQ(abort ? hxDaAbort(da) : hxDaStop(da), HXNOERROR);
            // Every buffer back and, once the board has played out what it holds, the transfer
            // complete and the subsystem configurable again.
            ASSERT_TRUE(advanceUntil(
                [&] {
                    return queueSize(da, HXQUEUE_INPROCESS) == 0 &&
                           countOf(HXWM_IOCOMPLETE, da) >= 1;
                },
                2000ms))
                << seen();
            std::uint32_t configured = HXSUBSYSRUNNING;
            for (int tries = 0; configured == HXSUBSYSRUNNING && tries < 1000; ++tries) {
                configured = hxDaConfig(da);
                if (configured == HXSUBSYSRUNNING)
                    waitForMessages(0, 1);  // the library ends the transfer after the message
            }
            ASSERT_EQ(configured, HXNOERROR);
            EXPECT_EQ(queueSize(da, HXQUEUE_READY) + queueSize(da, HXQUEUE_DONE), count);
            std::vector<HBUF> back = takeDone(da);
            HBUF ready = 0;
            while (hxDaGetBuffer(da, &ready) == HXNOERROR && ready != 0)
                back.push_back(ready);
            expectSameBuffers(back, made);
            messages.clear();
            wParams.clear();
        }
    }
}

// The digital output port read back through the input port wired to it, and the analog single
// values on every output.
TEST_F(Mq5120Outputs, PortsAndSingleValuesReachTheBoard) {
    boot({"MQ5120 4 1 DIN0.0=DOUT0.0"});
    const HDASS dout = open(HXSS_DOUT);
    const HDASS din = open(HXSS_DIN);
    ASSERT_EQ(hxDaSetDataFlow(din, HXDF_SINGLEVALUE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(din), HXNOERROR);
    ASSERT_EQ(hxDaSetDataFlow(dout, HXDF_SINGLEVALUE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(dout), HXNOERROR);
    for (const UINT written : {0x0Fu, 0xA5u, 0x00u, 0xFFu}) {
        ASSERT_EQ(hxDaPutSingleValue(dout, written, 0, 1.0), HXNOERROR);
        UINT value = 0;
        ASSERT_EQ(hxDaGetSingleValue(din, &value, 0, 1.0), HXNOERROR);
        EXPECT_EQ(value, written);
    }

    // The byte output drives the same port.
    const HDASS byteOutput = open(HXSS_DA, 1);
    ASSERT_EQ(hxDaSetDataFlow(byteOutput, HXDF_SINGLEVALUE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(byteOutput), HXNOERROR);
    ASSERT_EQ(hxDaPutSingleValue(byteOutput, 0x3C, 0, 1.0), HXNOERROR);
    UINT port = 0;
    ASSERT_EQ(hxDaGetSingleValue(din, &port, 0, 1.0), HXNOERROR);
    EXPECT_EQ(port, 0x3Cu);

    const HDASS da = open(HXSS_DA);
    ASSERT_EQ(hxDaSetDataFlow(da, HXDF_SINGLEVALUE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(da), HXNOERROR);
    outputs(true);
    for (UINT channel = 0; channel < 4; ++channel)
        ASSERT_EQ(hxDaPutSingleValue(da, 0x1000 * (channel + 1), channel, 1.0), HXNOERROR);
    const auto changes = outputs().changes;
    ASSERT_EQ(changes.size(), 4u);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(changes[channel].channel, channel);
        EXPECT_EQ(changes[channel].value, 0x1000u * (channel + 1));
    }
}

// Counters: a rate output as the model puts it out (period and active time within one clock),
// counted by a counter whose clock is wired to it, measured by the library's frequency
// measurement, a repeated one-shot fired by its gate, and an edge-to-edge measurement.
TEST_F(Mq5120Outputs, CountersCheckedAgainstEachOther) {
    boot(
        {"MQ5120 4 1 CT0.1=CT0.0 GATE0.2=square:2.5:100:2.5 GATE0.3=square:2.5:50:2.5 "
         "CT0.4=square:2.5:1000:2.5"});
    const HDASS rate = open(HXSS_CT, 0);
    ASSERT_EQ(hxDaSetCTMode(rate, HXCTMODE_RATE), HXNOERROR);
    ASSERT_EQ(hxDaSetClockSource(rate, HXCLK_INTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaSetClockFrequency(rate, 1000.0), HXNOERROR);
    ASSERT_EQ(hxDaSetPulseWidth(rate, 25.0), HXNOERROR);
    ASSERT_EQ(hxDaSetPulseType(rate, HXPULSE_ACTIVEHIGH), HXNOERROR);
    ASSERT_EQ(hxDaConfig(rate), HXNOERROR);
    outputs(true);
    const std::int64_t origin = now();
    ASSERT_EQ(hxDaStart(rate), HXNOERROR);
    passTime(std::chrono::milliseconds(10));
    const auto edges = changesOf(5, origin);
    ASSERT_GE(edges.size(), 20u);
    constexpr std::int64_t kTickNs = 1'000'000'000 / 18'000'000 + 1;
    for (std::size_t k = 0; k + 1 < 20; k += 2) {
        EXPECT_EQ(edges[k].second, 1u);
        EXPECT_NEAR(static_cast<double>(edges[k + 1].first - edges[k].first), 250'000.0, kTickNs)
            << "active for a quarter of the period";
        if (k >= 2) {
            EXPECT_NEAR(static_cast<double>(edges[k].first - edges[k - 2].first), 1'000'000.0,
                        kTickNs)
                << "1 kHz";
        }
    }

    // Counter 1 counts counter 0's pulses: the library's measurement over 0.1 s gives 1 kHz.
    const HDASS counted = open(HXSS_CT, 1);
    ASSERT_EQ(hxDaSetClockSource(counted, HXCLK_EXTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaMeasureFrequency(counted, window, 0.1), HXNOERROR);
    // The clock stops at the gate's end, so the count read covers exactly the gate time.
    for (int step = 0; step < 50; ++step) {
        passTime(std::chrono::milliseconds(2));
        waitForMessages(0, 1);
    }
    ASSERT_TRUE(waitForMessage(HXWM_MEASUREDONE));
    float hz = 0;
    const auto bits = static_cast<std::uint32_t>(lParams.back());
    std::memcpy(&hz, &bits, sizeof hz);
    EXPECT_NEAR(hz, 1000.0, 10.0);

    // A repeated one-shot of 2 ms fired by each rising gate edge (100 Hz): 5 pulses in 50 ms.
    const HDASS oneShot = open(HXSS_CT, 2);
    ASSERT_EQ(hxDaSetCTMode(oneShot, HXCTMODE_REPEATONESHOT), HXNOERROR);
    ASSERT_EQ(hxDaSetClockSource(oneShot, HXCLK_INTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaSetClockFrequency(oneShot, 500.0), HXNOERROR);
    ASSERT_EQ(hxDaSetGateType(oneShot, HXGATE_RISINGEDGE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(oneShot), HXNOERROR);
    outputs(true);
    ASSERT_EQ(hxDaStart(oneShot), HXNOERROR);
    passTime(std::chrono::milliseconds(50));
    EXPECT_EQ(changesOf(7, 0).size(), 2 * 5u) << "a start and an end edge per pulse";

    // Edge to edge on counter 3: the gate's high half-period of a 50 Hz square, 10 ms.
    const HDASS measure = open(HXSS_CT, 3);
    ASSERT_EQ(hxDaSetWndHandle(measure, window, kPortWord), HXNOERROR);
    ASSERT_EQ(hxDaSetCTMode(measure, HXCTMODE_EDGETOEDGE), HXNOERROR);
    ASSERT_EQ(hxDaSetClockSource(measure, HXCLK_INTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaSetMeasureStartEdge(measure, HXEDGE_GATERISING), HXNOERROR);
    ASSERT_EQ(hxDaSetMeasureStopEdge(measure, HXEDGE_GATEFALLING), HXNOERROR);
    ASSERT_EQ(hxDaConfig(measure), HXNOERROR);
    messages.clear();
    lParams.clear();
    wParams.clear();
    ASSERT_EQ(hxDaStart(measure), HXNOERROR);
    ASSERT_TRUE(advanceUntil([&] { return countOf(HXWM_EVENTDONE, measure) >= 1; }, 200ms))
        << seen();
    EXPECT_EQ(static_cast<std::uint32_t>(lParams.back()), 180'000u) << "10 ms at 18 MHz";

    // Up/down on counter 4, counting up the 1 kHz square on its clock from the half-way load.
    const HDASS upDown = open(HXSS_CT, 4);
    ASSERT_EQ(hxDaSetCTMode(upDown, HXCTMODE_UPDOWN), HXNOERROR);
    ASSERT_EQ(hxDaSetClockSource(upDown, HXCLK_EXTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaConfig(upDown), HXNOERROR);
    ASSERT_EQ(hxDaStart(upDown), HXNOERROR);
    passTime(std::chrono::milliseconds(25));
    UINT count = 0;
    ASSERT_EQ(hxDaReadEvents(upDown, &count), HXNOERROR);
    EXPECT_EQ(count, 0x80000000u + 25);
}

// Registers, stored settings, calibration pots and hardware information go to the board and come
// back; a pot the board does not have is refused.
TEST_F(Mq5120Outputs, DeviceRequestsRoundTrip) {
    boot({"MQ5120 4 1"});
    constexpr UINT kDinMaskSelector = 0x4004;
    ASSERT_EQ(hxDiagWriteReg(hDev, kDinMaskSelector, 0x5A, 2), HXNOERROR);
    UINT value = 0;
    ASSERT_EQ(hxDiagReadReg(hDev, kDinMaskSelector, &value, 2), HXNOERROR);
    EXPECT_EQ(value, 0x5Au);
    constexpr UINT kPowerRegister = 100;
    ASSERT_EQ(hxDiagWriteReg(hDev, kPowerRegister, 1, 2), HXNOERROR);
    ASSERT_EQ(hxDiagReadReg(hDev, kPowerRegister, &value, 2), HXNOERROR);
    EXPECT_EQ(value, 1u);

    ASSERT_EQ(hxDiagWriteCalPot(hDev, 2, 3, 1, 0x77), HXNOERROR);
    ASSERT_EQ(hxDiagReadCalPot(hDev, 2, 3, 1, &value), HXNOERROR);
    EXPECT_EQ(value, 0x77u);
    EXPECT_EQ(hxDiagReadCalPot(hDev, 3, 0, 0, &value), HXINVALIDLISTENTRY);

    BYTE block[128] = {};
    ASSERT_EQ(hxDaSetHardwareInfo(hDev, 0x11, 0x22, 0x33, 0xFFFFFFFF, 0, block), HXNOERROR);
    UINT leading = 0, serial = 0, trailing = 0;
    WORD a = 0, b = 0, c = 0;
    ASSERT_EQ(hxDaGetHardwareInfo(hDev, &leading, &a, &b, &c, &serial, &trailing, block),
              HXNOERROR);
    EXPECT_EQ(a, 0x11);
    EXPECT_EQ(b, 0x22);
    EXPECT_EQ(c, 0x33);
    EXPECT_EQ(serial, 1u) << "the serial number kept";
}

// Pulled out while the D/A streams and a counter runs: every buffer comes back, the removal is
// told once to each, and nothing hangs.
TEST_F(Mq5120Outputs, TheBoardPulledOutWhileTheOutputsRun) {
    boot({"MQ5120 4 1"});
    const HDASS da = open(HXSS_DA);
    configureDa(da, HXWRAP_NONE, 10'000, {0, 1});
    const std::vector<HBUF> made = queueCodes(da, 4, 40'000, 0);
    const HDASS ct = open(HXSS_CT, 0);
    ASSERT_EQ(hxDaSetWndHandle(ct, window, kPortWord), HXNOERROR);
    ASSERT_EQ(hxDaSetCTMode(ct, HXCTMODE_RATE), HXNOERROR);
    ASSERT_EQ(hxDaSetClockFrequency(ct, 100.0), HXNOERROR);
    ASSERT_EQ(hxDaConfig(ct), HXNOERROR);
    ASSERT_EQ(hxDaStart(ct), HXNOERROR);
    ASSERT_EQ(hxDaStart(da), HXNOERROR);
    advanceUntil([] { return false; }, 20ms);
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(waitForMessage(HXWM_DEVICEREMOVAL));
    ASSERT_TRUE(advanceUntil([&] { return queueSize(da, HXQUEUE_INPROCESS) == 0; }, 500ms));
    waitForMessages(0, 100);
    EXPECT_EQ(countOf(HXWM_DEVICEREMOVAL, da), 1u) << seen();
    EXPECT_EQ(countOf(HXWM_DEVICEREMOVAL, ct), 1u) << seen();
    std::vector<HBUF> back = takeDone(da);
    HBUF ready = 0;
    while (hxDaGetBuffer(da, &ready) == HXNOERROR && ready != 0)
        back.push_back(ready);
    EXPECT_EQ(back.size() + queueSize(da, HXQUEUE_READY), made.size());
}

}  // namespace
}  // namespace mq5120e2e
