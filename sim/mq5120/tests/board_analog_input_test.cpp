// Analog input through the bus: single conversions, the list, pacing by elapsed time,
// packetisation of the stream, the FIFO and its overflow status, start and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "board_fixture.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

class AnalogInput : public BoardFixture {
  public:
    // Programs and starts the A/D as the driver does.
    void Start(const std::vector<std::uint16_t>& list, std::uint32_t divider,
               std::uint32_t transferSize, bool waitForTrigger = false,
               std::uint16_t control = kAdControlSingleEnded) {
        Write(kAdControl, static_cast<std::uint16_t>(0x8000 | control));
        Write(kAdDividerLow, static_cast<std::uint16_t>(divider));
        Write(kAdDividerHigh, static_cast<std::uint16_t>(divider >> 16));
        Write(kStrobes, kStrobeListReset);
        Write(kStrobes, 0);
        std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
        for (auto word : list)
            pairs.push_back({kChannelList, word});
        WriteList(pairs);
        Write(kStrobes, kStrobeListComplete);
        Transact(Command(kAdTransferSize, true,
                         {static_cast<std::uint16_t>(transferSize),
                          static_cast<std::uint16_t>(transferSize >> 16)}));
        Write(kRunEnables, kRunAd);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Transact(Command(kAdStart, true, {static_cast<std::uint16_t>(1 | (waitForTrigger << 8))}));
    }

    // Posts one A/D transfer of the given length (short transfers allowed).
    Bytes ReadAd(ULONG length, int waitMs = 2000, bool* completed = nullptr) {
        Bytes buffer(length);
        UrbRequest request;
        Build(request, kAdEndpoint, buffer.data(), length,
              USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        request.Send(pdo);
        const bool done = request.Wait(waitMs);
        if (completed != nullptr)
            *completed = done;
        if (!done)
            return {};
        EXPECT_EQ(request.Status(), STATUS_SUCCESS);
        buffer.resize(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength);
        return buffer;
    }

    void Advance(std::chrono::nanoseconds step) {
        time->Advance(step);
        board->Wake();
    }

    static std::vector<std::uint16_t> Samples(const Bytes& bytes) {
        std::vector<std::uint16_t> out;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return out;
    }
};

TEST_F(AnalogInput, SingleConversionsFollowChannelGainModeAndBoardType) {
    struct Case {
        const char* name;
        std::uint8_t type;
        bool singleEnded;
        std::uint16_t channel;
        std::uint16_t gainCode;
        std::vector<std::pair<int, double>> volts;
        std::uint16_t code;
    } cases[] = {
        {"12-bit x1", 0, true, 0, 0, {{0, 2.5}}, 2560},
        {"12-bit x8 clamps", 0, true, 0, 3, {{0, 2.5}}, 4095},
        {"12-bit x2", 0, true, 0, 1, {{0, 2.5}}, 3072},
        {"bottom of range", 0, true, 15, 0, {{15, -10.0}}, 0},
        {"beyond 16 inputs", 0, true, 16, 0, {{16, 5.0}}, 0},
        {"differential pair 1-9", 0, false, 1, 0, {{1, 3.0}, {9, 1.0}}, 2458},
        {"beyond 8 pairs", 0, false, 8, 0, {{8, 3.0}}, 0},
        {"16-bit x1", 4, true, 0, 0, {{0, 2.5}}, 40960},
        {"32 inputs", 8, true, 20, 0, {{20, 1.0}}, 2253},
        {"differential pair 1-17", 8, false, 1, 0, {{1, 3.0}, {17, 1.0}, {9, 9.0}}, 2458},
        {"no analog inputs", 1, true, 0, 0, {{0, 2.5}}, 0},
    };
    for (const auto& c : cases) {
        BoardIdentity identity;
        identity.boardType = c.type;
        Plug(identity);
        for (auto [channel, volts] : c.volts)
            board->SetSignal(channel, Signal::Constant(volts));
        Write(kAdControl, c.singleEnded ? kAdControlSingleEnded : 0);
        const Message reply = Transact(
            Command(kAdSingle, false, {static_cast<std::uint16_t>(c.channel | (c.gainCode << 8))}));
        EXPECT_EQ(WordOf(reply, 1), c.code) << c.name;
    }
}

// Two channels with code patterns at 1,000 conversions/s: the stream carries exactly the
// conversions due by the elapsed time, in list order, in whole 512-byte chunks.
TEST_F(AnalogInput, StreamIsPacedByElapsedTimeAndByteExact) {
    board->SetSignal(0, Signal::Codes(100, 1));
    board->SetSignal(3, Signal::Codes(2000, 3));
    Start({0x0000, 0x0023 /* channel 3, x2 */}, 18000, 512);
    auto expected = [](std::size_t i) -> std::uint16_t {
        return i % 2 == 0 ? static_cast<std::uint16_t>(100 + i / 2)
                          : static_cast<std::uint16_t>((2000 + 3 * (i / 2)) & 0xFFF);
    };
    bool completed = true;
    ReadAd(512, 50, &completed);
    EXPECT_FALSE(completed) << "nothing is due before time passes";

    Advance(600ms);  // 600 conversions: two whole chunks of 256 samples, 88 left over
    std::vector<std::uint16_t> samples = Samples(ReadAd(1024));
    ASSERT_EQ(samples.size(), 512u);
    EXPECT_EQ(board->AdFifoSamples(), 88u);
    ReadAd(512, 50, &completed);
    EXPECT_FALSE(completed) << "a partial chunk is never sent";
    Advance(200ms);  // 800: a third chunk
    auto third = Samples(ReadAd(512));
    samples.insert(samples.end(), third.begin(), third.end());
    ASSERT_EQ(samples.size(), 768u);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], expected(i)) << "sample " << i;
    EXPECT_EQ(board->AdFifoSamples(), 32u);
}

// Codes and patterns count their channel's conversions whichever list entries make them, across
// blocks of conversions that start anywhere in the list; a new pattern starts from its first code
// at its channel's next conversion.
TEST_F(AnalogInput, CountedCodesFollowTheirChannelAcrossEntriesAndBlocks) {
    constexpr std::size_t kSamples = 9000;
    board->SetSignal(0, Signal::Codes(100, 1));
    board->SetSignal(1, Signal::Pattern({5, 6, 7, 8}));
    Start({0x0000, 0x0001, 0x0020}, 18, 8);  // ch0, ch1, ch0 x2 at 1,000,000/s; 4-sample chunks
    const std::chrono::nanoseconds steps[] = {1013us, 77us, 2500us, 333us};
    std::vector<std::uint16_t> samples;
    std::size_t patternChange = 0;
    for (std::size_t step = 0; samples.size() < kSamples; ++step) {
        if (step == 5) {
            board->SetSignal(1, Signal::Pattern({1, 2}));
            patternChange = samples.size() + board->AdFifoSamples();
        }
        Advance(steps[step % std::size(steps)]);
        for (std::size_t chunks = board->AdFifoSamples() / 4; chunks > 0; --chunks) {
            auto chunk = Samples(ReadAd(8));
            samples.insert(samples.end(), chunk.begin(), chunk.end());
        }
    }
    ASSERT_GT(patternChange, 0u);
    std::size_t ch0 = 0, ch1 = 0, ch1SinceChange = 0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        if (k % 3 != 1) {
            ASSERT_EQ(samples[k], (100 + ch0++) & 0xFFF) << "sample " << k << " (12 bits)";
        } else if (k < patternChange) {
            ASSERT_EQ(samples[k], 5 + ch1++ % 4) << "sample " << k;
        } else {
            ASSERT_EQ(samples[k], 1 + ch1SinceChange++ % 2) << "sample " << k;
        }
    }
}

// Chunks go out as max-packet packets with a short final packet: a transfer ends at a chunk's
// short packet, or when its buffer is full; never with a zero-length packet.
// A pattern's codes come in turn (held to the converter's range, whatever the gain) through
// single conversions and the stream alike, and start again at a new signal and at each start.
TEST_F(AnalogInput, PatternCyclesAndRestartsAtANewSignalAndAtAStart) {
    Write(kAdControl, kAdControlSingleEnded);
    board->SetSignal(2, Signal::Pattern({7, 0x1234, 9}));
    auto single = [&] {
        return WordOf(
            Transact(Command(kAdSingle, false, {static_cast<std::uint16_t>(2 | (3 << 8))})), 1);
    };
    EXPECT_EQ(single(), 7);
    EXPECT_EQ(single(), 0x234) << "12-bit converter";
    board->SetSignal(2, Signal::Pattern({5, 6}));
    EXPECT_EQ(single(), 5);
    EXPECT_EQ(single(), 6);
    EXPECT_EQ(single(), 5);
    board->SetSignal(2, Signal::Pattern({}));
    EXPECT_EQ(single(), 0);

    board->SetSignal(2, Signal::Pattern({1, 2, 3}));
    EXPECT_EQ(single(), 1);
    Start({0x0002}, 18000, 8);  // 1,000 conversions/s, 4-sample chunks
    Advance(4ms);
    EXPECT_EQ(Samples(ReadAd(8)), (std::vector<std::uint16_t>{1, 2, 3, 1}));
}

// Every streamed code is the converter's at its conversion's exact time, for sines converted in
// blocks by their recurrence: through every gain, both resolutions, both modes, a list of several
// signals, bursts of a triggered scan, host reads at uneven intervals, a day after power-on.
TEST_F(AnalogInput, StreamedCodesAreTheConverterAtEachConversionsExactTime) {
    constexpr std::uint16_t kScan = kAdControlSingleEnded | kAdControlTriggeredScan;
    constexpr std::uint32_t kTransfer = 1024;
    constexpr std::size_t kChunkSamples = kTransfer / 2;
    constexpr std::size_t kSamples = 600'000;
    const std::chrono::nanoseconds steps[] = {7ms, 13ms, 300us, 41ms, 1ms, 29ms};
    struct Case {
        const char* name;
        std::uint8_t type;
        std::uint16_t control;
        std::vector<std::uint16_t> list;  // channel | gain code << 5
        std::map<int, Signal> signals;
        std::uint32_t divider;
        std::uint16_t passes = 0;     // triggered scan: list passes per burst - 1
        std::uint16_t retrigger = 0;  // and base-clock ticks from burst to burst
    } cases[] = {
        {"16 bits, one input at every gain",
         4,
         kAdControlSingleEnded,
         {0x0000, 0x0020, 0x0040, 0x0060},
         {{0, Signal::Sine(9.5, 1234.5678, 0.2)}},
         36},
        {"12 bits, a list of four signals",
         0,
         kAdControlSingleEnded,
         {0x0000, 0x0041, 0x0022, 0x0063},
         {{0, Signal::Sine(5, 50)},
          {1, Signal::Sine(2, 49999.9, 1)},
          {2, Signal::Constant(2.5)},
          {3, Signal::Square(-1, 1, 10)}},
         36},
        {"16 bits, a differential pair of sines",
         4,
         0,
         {0x0021},
         {{1, Signal::Sine(5, 50)}, {9, Signal::Sine(1, 7777.7, 0.5)}},
         180},
        {"16 bits, bursts of a triggered scan",
         4,
         kScan,
         {0x0000, 0x0061},
         {{0, Signal::Sine(9, 3333.3)}, {1, Signal::Sine(1, 123.4)}},
         36,
         2,
         1800},
    };
    for (const auto& c : cases) {
        BoardIdentity identity;
        identity.boardType = c.type;
        Plug(identity);
        for (const auto& [channel, signal] : c.signals)
            board->SetSignal(channel, signal);
        Advance(24h);  // power-on was a day ago
        Write(kEnable, c.passes);
        Write(kRetriggerLow, c.retrigger);
        Start(c.list, c.divider, kTransfer, false, c.control);

        std::vector<std::uint16_t> samples;
        for (std::size_t step = 0; samples.size() < kSamples; ++step) {
            Advance(steps[step % std::size(steps)]);
            for (std::size_t chunks = board->AdFifoSamples() / kChunkSamples; chunks > 0;) {
                const std::size_t n = std::min<std::size_t>(chunks, 8);
                auto read = Samples(ReadAd(static_cast<ULONG>(n * kTransfer)));
                ASSERT_EQ(read.size(), n * kChunkSamples) << c.name;
                samples.insert(samples.end(), read.begin(), read.end());
                chunks -= n;
            }
        }
        ASSERT_EQ(board->Counters().adOverflows, 0u) << c.name;

        const int resolution = identity.Resolution();
        const int differential = identity.DifferentialInputs();
        const std::int64_t start = std::chrono::nanoseconds(24h).count() * kSignalUnitsPerNs;
        const std::uint64_t burst = c.list.size() * (c.passes + 1u);
        std::size_t wrong = 0;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            const std::uint16_t word = c.list[k % c.list.size()];
            const std::uint64_t ticks = c.retrigger != 0
                                            ? (k / burst) * c.retrigger + (k % burst) * c.divider
                                            : k * c.divider;
            const SignalTime t{start + static_cast<std::int64_t>(ticks) * kSignalUnitsPerTick};
            const int channel = word & kListChannelMask;
            auto volts = [&](int ch) {
                auto found = c.signals.find(ch);
                return found == c.signals.end() ? 0.0 : found->second.VoltsAt(t);
            };
            double v = volts(channel);
            if ((c.control & kAdControlSingleEnded) == 0)
                v -= volts(channel + differential);
            const std::uint16_t expected =
                CodeFor(v, 1 << ((word >> kListGainShift) & 3), resolution);
            if (samples[k] != expected && wrong++ < 5)
                ADD_FAILURE() << c.name << ": sample " << k << " is " << samples[k] << ", not "
                              << expected;
        }
        EXPECT_EQ(wrong, 0u) << c.name;
    }
}

TEST_F(AnalogInput, ChunksArePacketisedByTheBusSpeed) {
    struct Case {
        bool highSpeed;
        std::uint32_t transferSize;
        ULONG urbLength;
        std::vector<std::size_t> completions;
    } cases[] = {
        {true, 768, 4096, {768, 768}},  // 512 + 256 (short)
        {true, 256, 4096, {256, 256}},  // one short packet per chunk
        {true, 1024, 2048, {2048}},     // full packets only: the buffer fills
        {false, 768, 768, {768, 768}},  // 12 full packets of 64
        {false, 1024, 512, {512, 512}},
    };
    for (const auto& c : cases) {
        BoardIdentity identity;
        identity.highSpeed = c.highSpeed;
        Plug(identity);
        Start({0}, 36, c.transferSize);  // 500,000 conversions/s
        Advance(10ms);                   // 5,000 conversions
        for (std::size_t expected : c.completions)
            EXPECT_EQ(ReadAd(c.urbLength).size(), expected)
                << c.highSpeed << " " << c.transferSize << " " << c.urbLength;
    }
}

TEST_F(AnalogInput, ListWordsGainsInhibitAndDigitalInput) {
    board->SetSignal(0, Signal::Constant(2.5));
    board->SetSignal(1, Signal::Constant(-5.0));
    board->SetDin(0xA5);
    // ch0 x1, ch0 x2, ch1 inhibited, DIN, ch1 x1.
    Start({0x0000, 0x0020, 0x1001, kListDin, 0x0001}, 18, 256);
    Advance(1ms);  // 1,000 conversions: 800 stored
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 6; ++i) {
        auto chunk = Samples(ReadAd(4096));
        ASSERT_EQ(chunk.size(), 128u);
        samples.insert(samples.end(), chunk.begin(), chunk.end());
    }
    const std::uint16_t cycle[] = {2560, 3072, 0xA5, 1024};
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], cycle[i % 4]) << "sample " << i;
    EXPECT_EQ(board->ChannelList().size(), 5u);
}

TEST_F(AnalogInput, FullFifoDropsConversionsAndReportsOncePerEpisode) {
    Start({0}, 36, 1024);
    Advance(100ms);  // 50,000 conversions, no transfer posted
    EXPECT_EQ(board->AdFifoSamples(), kAdFifoSamples);
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagAdOverflow}));
    Advance(100ms);
    EXPECT_EQ(ReadStatus(100), std::nullopt) << "one message per episode";
    EXPECT_EQ(board->Counters().adOverflows, 1u);
    // Room again, then full again: a new episode.
    EXPECT_EQ(ReadAd(4096).size(), 4096u);
    Advance(100ms);
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagAdOverflow}));
    EXPECT_EQ(board->Counters().adOverflows, 2u);
}

// Conversions that a full FIFO loses still count: once there is room, a channel reading codes goes
// on with its count as if nothing had been lost, in list order.
TEST_F(AnalogInput, ConversionsLostToAFullFifoStillCount) {
    BoardIdentity identity;
    identity.boardType = 4;  // 16 bits: the codes run through every value
    Plug(identity);
    board->SetSignal(0, Signal::Codes(0, 1));
    board->SetSignal(1, Signal::Codes(7, 3));
    Start({0x0000, 0x0001, kListInhibit | 0x0001}, 36,
          1024);  // 500,000/s, one stored in three lost
    Advance(1s);  // 500,000 conversions: the FIFO full after 49,152
    EXPECT_EQ(board->AdFifoSamples(), kAdFifoSamples);
    EXPECT_EQ(board->Counters().adOverflows, 1u);
    for (std::size_t read = 0; read < kAdFifoSamples; read += 2048)
        ASSERT_EQ(ReadAd(4096).size(), 4096u);
    Advance(2ms);  // conversions 500,000 to 500,999
    const auto samples = Samples(ReadAd(1024));
    ASSERT_EQ(samples.size(), 512u);
    // Conversion 500,000 is the inhibited entry; 500,001 on channel 0 is its 166,668th, 500,002
    // on channel 1 its 333,335th (both of its entries count).
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint64_t pair = i / 2;
        const auto expected =
            static_cast<std::uint16_t>(i % 2 == 0 ? 166'667 + pair : 7 + 3 * (333'334 + 2 * pair));
        ASSERT_EQ(samples[i], expected) << "sample " << i;
    }
}

TEST_F(AnalogInput, StartNeedsTheRunBitsAndStopsThreeWays) {
    // Without the run enables the start command does nothing.
    Transact(Command(kAdTransferSize, true, {512}));
    Transact(Command(kAdStart, true, {1}));
    EXPECT_FALSE(board->AdRunning());

    struct Stop {
        const char* name;
        void (*apply)(AnalogInput*);
    } stops[] = {
        {"stop command", [](AnalogInput* t) { t->Transact(Command(kAdStop, true, {1})); }},
        {"run enables cleared", [](AnalogInput* t) { t->Write(kRunEnables, 0); }},
        {"run strobe cleared", [](AnalogInput* t) { t->Write(kStrobes, kStrobeListComplete); }},
    };
    for (const auto& stop : stops) {
        Start({0}, 18000, 512);  // 1,000/s, 256-sample chunks
        EXPECT_TRUE(board->AdRunning()) << stop.name;
        Advance(300ms);
        stop.apply(this);
        EXPECT_FALSE(board->AdRunning()) << stop.name;
        EXPECT_EQ(board->AdFifoSamples(), 256u) << stop.name << ": the partial chunk is dropped";
        Advance(1s);
        EXPECT_EQ(board->AdFifoSamples(), 256u) << stop.name;
        EXPECT_EQ(ReadAd(512).size(), 512u) << stop.name << ": whole chunks are still sent";
    }
}

TEST_F(AnalogInput, TriggeredStartExternalClockAndUnpacedMode) {
    Start({0}, 18000, 512, /*waitForTrigger=*/true);
    Advance(1s);
    EXPECT_EQ(board->AdFifoSamples(), 0u) << "waiting for the trigger";
    board->ExternalTrigger();
    Advance(256ms);
    EXPECT_EQ(ReadAd(512).size(), 512u);

    Start({0}, 0, 512, false, kAdControlSingleEnded | kAdControlExternalClock);
    Advance(1s);
    EXPECT_EQ(board->AdFifoSamples(), 0u) << "external clock: no edges yet";
    board->ExternalAdClock(300);
    EXPECT_EQ(board->AdFifoSamples(), 300u);

    board->SetUnpaced(true);
    Start({0}, 18000, 1024);
    EXPECT_EQ(ReadAd(4096).size(), 4096u) << "unpaced: no time needs to pass";
    EXPECT_EQ(ReadAd(4096).size(), 4096u);
}

// Unpaced, a list whose every entry is inhibited stores nothing: the read stays pending and the
// board goes on answering (it does not convert for ever to fill the read).
TEST_F(AnalogInput, UnpacedListThatStoresNothingLeavesTheReadPending) {
    board->SetUnpaced(true);
    Start({kListInhibit | 0x0000, kListInhibit | 0x0001}, 18000, 512);
    bool completed = true;
    ReadAd(512, 50, &completed);
    EXPECT_FALSE(completed);
    EXPECT_EQ(Read(kAdDividerLow), 18000);
    EXPECT_TRUE(board->AdRunning());
    EXPECT_EQ(board->AdFifoSamples(), 0u);
}

// Triggered scan: each trigger runs (enable low byte + 1) passes of the list at the A/D rate,
// then the board waits for the next retrigger (internal divider, or an external edge).
TEST_F(AnalogInput, TriggeredScanRunsBurstsOfListPasses) {
    const std::uint16_t scan = kAdControlSingleEnded | kAdControlTriggeredScan;
    // Internal retrigger every 1 ms; bursts of 3 passes of 2 entries at 1,000,000/s.
    Write(kEnable, 2);
    Write(kRetriggerLow, 18000);
    Start({0, 1}, 18, 512, false, scan);
    Advance(2500us);  // bursts at 0, 1 and 2 ms: 18 conversions
    EXPECT_EQ(board->AdFifoSamples(), 18u);
    Advance(7500us);  // 10 ms: 10 whole bursts and the first of the next
    EXPECT_EQ(board->AdFifoSamples(), 61u);

    // External retrigger (no retrigger divider): one pass of 2 entries per edge.
    Write(kEnable, 0);
    Write(kRetriggerLow, 0);
    Start({0, 1}, 18, 512, false, scan);
    Advance(1ms);
    EXPECT_EQ(board->AdFifoSamples(), 2u) << "the software start's burst";
    Advance(1s);
    EXPECT_EQ(board->AdFifoSamples(), 2u) << "waiting for a retrigger";
    board->ExternalTrigger();
    Advance(1ms);
    EXPECT_EQ(board->AdFifoSamples(), 4u);
}

}  // namespace
}  // namespace mq5120::test
