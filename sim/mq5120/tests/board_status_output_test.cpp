// The status pipe, analog output (messages, memory, arm and ready, paced output, drain, abort,
// single buffer) and the digital ports, through the bus.
#include <gtest/gtest.h>

#include "board_fixture.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

class StatusAndOutput : public BoardFixture {
  public:
    void Advance(std::chrono::nanoseconds step) {
        time->Advance(step);
        board->Wake();
    }

    // One D/A message: the 512-byte header with the byte count, then the samples.
    static Bytes DaMessage(const std::vector<std::uint16_t>& samples, std::int64_t count = -1) {
        Bytes out(kDaHeaderBytes + 2 * samples.size(), 0);
        const auto bytes = static_cast<std::uint32_t>(count < 0 ? 2 * samples.size() : count);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<std::uint8_t>(bytes >> (8 * i));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            out[kDaHeaderBytes + 2 * i] = static_cast<std::uint8_t>(samples[i]);
            out[kDaHeaderBytes + 2 * i + 1] = static_cast<std::uint8_t>(samples[i] >> 8);
        }
        return out;
    }

    // Sends a D/A message; true when the board took it within the wait.
    bool SendDa(Bytes message, int waitMs = 2000) {
        UrbRequest request;
        Build(request, kDaEndpoint, message.data(), static_cast<ULONG>(message.size()),
              USBD_TRANSFER_DIRECTION_OUT);
        request.Send(pdo);
        return request.Wait(waitMs) && request.Status() == STATUS_SUCCESS;
    }

    // The driver's first-write arm for e samples: f = 0x20002 - min(e, 0x1E000), twice.
    void Arm(std::uint32_t samples) {
        const std::uint32_t f = 0x20002 - std::min<std::uint32_t>(samples, kDaReadyLimit);
        Transact(Command(kDaArm, true,
                         {static_cast<std::uint16_t>(f), static_cast<std::uint16_t>(f >> 16)}));
        Transact(Command(kDaArmWords, true,
                         {static_cast<std::uint16_t>(f), static_cast<std::uint16_t>(f >> 16)}));
    }

    // The start sequence: run enables, then strobes 6, 8, 7.
    void StartDa(std::uint32_t divider) {
        Write(kDaDividerLow, static_cast<std::uint16_t>(divider));
        Write(kDaDividerHigh, static_cast<std::uint16_t>(divider >> 16));
        Write(kStartStrobes, kRunDa);
        Write(kStartStrobes, 0);
        Write(kRunEnables, kRunDa);
        Write(kStrobes, 1u << 6);
        Write(kStrobes, (1u << 6) | (1u << 8));
        Write(kStrobes, kStrobeDaSequence);
    }
};

TEST_F(StatusAndOutput, StatusMessagesComeInOrderOnePerRead) {
    EXPECT_EQ(ReadStatus(50), std::nullopt) << "a read waits while nothing is pending";
    board->PostStatus(0, 0x0004);
    board->PostStatus(0x4000, 7);
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, 0x0004}));
    EXPECT_EQ(ReadStatus(), (StatusMessage{0x4000, 7}));

    // A read posted first completes when the message arrives.
    std::array<std::uint8_t, 4> buffer{};
    UrbRequest pending;
    Build(pending, kStatusEndpoint, buffer.data(), 4, USBD_TRANSFER_DIRECTION_IN);
    pending.Send(pdo);
    EXPECT_FALSE(pending.Wait(30));
    board->PostStatus(0x2000, 0x81);
    ASSERT_TRUE(pending.Wait());
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{0x00, 0x20, 0x81, 0x00}));
}

TEST_F(StatusAndOutput, FullStatusFifoDropsTheOldestButKeepsReadyMessages) {
    board->PostStatus(kStatusTypeDaReady, 0);
    for (std::uint16_t i = 0; i < kStatusFifoEntries; ++i)
        board->PostStatus(0, static_cast<std::uint16_t>(0x100 + i));
    EXPECT_EQ(board->Counters().statusDropped, 1u);
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDaReady, 0}));
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, 0x101})) << "0x100 was the one dropped";
}

// Arm, data until the threshold, one ready message; the start sequence plays the samples at the
// D/A rate over the enabled channels; the drain is reported once.
TEST_F(StatusAndOutput, ArmedOutputReportsReadyPlaysAndReportsTheDrain) {
    Write(kDaControl0, kFifoClearValue);
    Write(kBoardControl, 0x0003);  // analog channels 0 and 1
    Arm(6);
    EXPECT_TRUE(SendDa(DaMessage({100, 200, 300, 400})));
    EXPECT_EQ(ReadStatus(50), std::nullopt) << "4 of 6 samples";
    EXPECT_TRUE(SendDa(DaMessage({500, 600})));
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDaReady, 0}));
    EXPECT_EQ(board->DaMemorySamples(), 6u);

    board->ClearLog();
    StartDa(18000);  // 1,000 updates/s
    EXPECT_TRUE(board->DaRunning());
    Advance(4500us);  // 4 updates due
    EXPECT_EQ(board->DaMemorySamples(), 2u);
    Advance(10ms);
    const auto outputs = board->Outputs();
    ASSERT_EQ(outputs.size(), 6u);
    const int channels[] = {0, 1, 0, 1, 0, 1};
    const std::uint16_t codes[] = {100, 200, 300, 400, 500, 600};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(outputs[i].channel, channels[i]) << i;
        EXPECT_EQ(outputs[i].value, codes[i]) << i;
    }
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagDaComplete}));
    Advance(10ms);
    EXPECT_EQ(ReadStatus(50), std::nullopt) << "the drain is reported once";
    // More data while running: the output fell behind its clock, an underrun. It resumes, and
    // the next drain is reported again.
    EXPECT_TRUE(SendDa(DaMessage({700})));
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagDaUnderrun}));
    EXPECT_EQ(board->Counters().daUnderruns, 1u);
    Advance(5ms);
    EXPECT_EQ(board->Outputs().back().value, 700);
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagDaComplete}));
}

TEST_F(StatusAndOutput, FullMemoryHoldsTheTransferUntilOutputMakesRoom) {
    Write(kBoardControl, 0x0001);
    Arm(kDaReadyLimit);
    const std::vector<std::uint16_t> block(1792, 0x0800);     // 3,584 bytes
    const std::size_t fit = kDaMemorySamples / block.size();  // 73 whole messages
    for (std::size_t i = 0; i < fit; ++i)
        ASSERT_TRUE(SendDa(DaMessage(block)));
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDaReady, 0}));
    Bytes extra = DaMessage(block);
    UrbRequest held;
    Build(held, kDaEndpoint, extra.data(), static_cast<ULONG>(extra.size()),
          USBD_TRANSFER_DIRECTION_OUT);
    held.Send(pdo);
    EXPECT_FALSE(held.Wait(50)) << "never dropped: held";
    StartDa(18);  // 1,000,000 updates/s
    Advance(2ms);
    ASSERT_TRUE(held.Wait());
    EXPECT_EQ(held.Status(), STATUS_SUCCESS);
    EXPECT_EQ(board->Counters().protocolErrors, 0u);
}

TEST_F(StatusAndOutput, MalformedMessagesUseWhatIsThereAndCountAnError) {
    struct Case {
        const char* name;
        std::vector<std::uint16_t> samples;
        std::int64_t count;
        std::size_t stored;
    } cases[] = {
        {"count above the data", {1, 2}, 8, 2},
        {"count below the data", {1, 2, 3}, 2, 1},
        {"odd count", {1, 2}, 3, 1},
        {"count above 3584", std::vector<std::uint16_t>(1800, 1), 3600, 1800},
    };
    for (const auto& c : cases) {
        Write(kDaControl0, kFifoClearValue);
        const auto before = board->Counters().protocolErrors;
        EXPECT_TRUE(SendDa(DaMessage(c.samples, c.count))) << c.name;
        EXPECT_EQ(board->DaMemorySamples(), c.stored) << c.name;
        EXPECT_EQ(board->Counters().protocolErrors, before + 1) << c.name;
    }
    Write(kDaControl0, kFifoClearValue);
    EXPECT_TRUE(SendDa(DaMessage({})));  // a header alone is a valid empty message
    EXPECT_EQ(board->DaMemorySamples(), 0u);
}

TEST_F(StatusAndOutput, AbortReportsOnceAndSingleBufferRepeats) {
    Write(kBoardControl, 0x0001);
    Arm(2);
    Transact(Command(kDaAbort, true, {1}));
    Transact(Command(kDaAbort, true, {1}));
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, kFlagDaComplete}));
    EXPECT_EQ(ReadStatus(50), std::nullopt) << "only the first abort of the pair reports";
    Transact(Command(kDaAbort, true, {0}));
    EXPECT_EQ(ReadStatus(50), std::nullopt);

    // Single buffer: the samples received are replayed cyclically; no drain report.
    Write(kDaControl0, kFifoClearValue);
    Write(kBoardControl, 0x0001 | kBoardControlSingleBuffer);
    Arm(3);
    EXPECT_TRUE(SendDa(DaMessage({10, 20, 30})));
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDaReady, 0}));
    board->ClearLog();
    StartDa(18000);
    Advance(7500us);
    std::vector<std::uint16_t> played;
    for (const auto& change : board->Outputs())
        played.push_back(change.value);
    EXPECT_EQ(played, (std::vector<std::uint16_t>{10, 20, 30, 10, 20, 30, 10}));
    EXPECT_EQ(ReadStatus(50), std::nullopt);
    // Stopping by the registers: output stops, no message.
    Write(kRunEnables, 0);
    EXPECT_FALSE(board->DaRunning());
}

TEST_F(StatusAndOutput, DigitalPortsAndSingleValueOutputs) {
    // DIN: register 256 reads the port; a change under the mask reports while enabled.
    board->SetDin(0x0F);
    EXPECT_EQ(Read(kDinPort), 0x0F);
    Write(kDinChangeMask, 0xF0);
    Write(kDinInterruptEnable, 1);
    board->SetDin(0x0E);  // bit 0: outside the mask
    EXPECT_EQ(ReadStatus(50), std::nullopt);
    board->SetDin(0x1E);
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDin, 0x1E}));
    Write(kDinInterruptEnable, 0);
    board->SetDin(0xFF);
    EXPECT_EQ(ReadStatus(50), std::nullopt);

    // DOUT by register 288 and by 0x54; analog single values by 0x32, masked to 12 bits.
    board->ClearLog();
    Write(kDoutPort, 0x1A5);
    Transact(Command(kPotOrByteOut, true, {0x3C, 3, 0, 0}));
    Transact(Command(kAnalogOut, true, {0xF123, 2}));
    Transact(Command(kAnalogOut, true, {0x0456, 4}));  // no such channel: ignored
    const auto outputs = board->Outputs();
    ASSERT_EQ(outputs.size(), 3u);
    EXPECT_EQ(outputs[0].channel, 4);
    EXPECT_EQ(outputs[0].value, 0xA5);
    EXPECT_EQ(outputs[1].value, 0x3C);
    EXPECT_EQ(outputs[2].channel, 2);
    EXPECT_EQ(outputs[2].value, 0x123);
    EXPECT_EQ(board->DoutPort(), 0x3C);
}

// Outputs wired back to inputs: what the application puts out comes back in.
TEST_F(StatusAndOutput, OutputsWiredBackToInputs) {
    board->SetSignal(2, Signal::FromAnalogOutput(1));
    Write(kAdControl, kAdControlSingleEnded);
    Transact(Command(kAnalogOut, true, {3072, 1}));  // +5 V on a 12-bit board
    EXPECT_EQ(WordOf(Transact(Command(kAdSingle, false, {2})), 1), 3072);
    EXPECT_EQ(WordOf(Transact(Command(kAdSingle, false, {2 | (1 << 8)})), 1), 4095) << "x2";

    board->WireDoutToDin(true);
    Write(kDinChangeMask, 0xFF);
    Write(kDinInterruptEnable, 1);
    Write(kDoutPort, 0x5A);
    EXPECT_EQ(Read(kDinPort), 0x5A);
    EXPECT_EQ(ReadStatus(), (StatusMessage{kStatusTypeDin, 0x5A}));
}

TEST_F(StatusAndOutput, ExternalTriggerAndClockPaceTheOutput) {
    Write(kBoardControl, 0x0001 | kBoardControlDaExternalTrigger | kBoardControlDaExternalClock);
    Arm(3);
    EXPECT_TRUE(SendDa(DaMessage({1, 2, 3})));
    board->ClearLog();
    StartDa(18000);
    board->ExternalDaClock(2);
    Advance(10ms);
    EXPECT_TRUE(board->Outputs().empty()) << "waiting for the trigger; time does not clock it";
    board->ExternalTrigger();
    board->ExternalDaClock(2);
    const auto outputs = board->Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].value, 1);
    EXPECT_EQ(outputs[1].value, 2);
    EXPECT_EQ(board->DaMemorySamples(), 1u);
}

// The output starts when the go strobe (register 3 bit 7) and the run enable (register 5 bit 2)
// are both set, in either order; clearing either stops it.
TEST_F(StatusAndOutput, OutputStartsOnGoStrobeAndEnableInEitherOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint16_t, std::uint16_t>> writes;
        bool running;
    } cases[] = {
        {"enable, then go", {{kRunEnables, kRunDa}, {kStrobes, kStrobeDaSequence}}, true},
        {"go, then enable", {{kStrobes, kStrobeDaSequence}, {kRunEnables, kRunDa}}, true},
        {"go without enable", {{kStrobes, kStrobeDaSequence}}, false},
        {"enable without go", {{kRunEnables, kRunDa}, {kStrobes, 1u << 6}}, false},
        {"started, then go cleared",
         {{kRunEnables, kRunDa}, {kStrobes, kStrobeDaSequence}, {kStrobes, 0}},
         false},
    };
    for (const auto& c : cases) {
        Write(kRunEnables, 0);
        Write(kStrobes, 0);
        Write(kDaControl0, kFifoClearValue);
        Write(kBoardControl, 0x0001);
        Arm(1);
        EXPECT_TRUE(SendDa(DaMessage({42})));
        for (auto [reg, value] : c.writes)
            Write(reg, value);
        EXPECT_EQ(board->DaRunning(), c.running) << c.name;
        while (ReadStatus(20)) {
        }
    }
}

}  // namespace
}  // namespace mq5120::test
