// The counters through their registers: count events with gate and wrap, up/down, pulse trains
// and the edge-to-edge measurement.
#include <gtest/gtest.h>

#include "board_fixture.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

class Counters : public BoardFixture {
  public:
    // Programs counter c's five registers in one list, as the driver's configure does.
    void Configure(int c, std::uint16_t mode, std::uint32_t period, std::uint32_t width) {
        const auto base = static_cast<std::uint16_t>(kCounterBase + 5 * c);
        WriteList({{base, static_cast<std::uint16_t>(period)},
                   {static_cast<std::uint16_t>(base + 1), static_cast<std::uint16_t>(period >> 16)},
                   {static_cast<std::uint16_t>(base + 2), static_cast<std::uint16_t>(width)},
                   {static_cast<std::uint16_t>(base + 3), static_cast<std::uint16_t>(width >> 16)},
                   {static_cast<std::uint16_t>(base + 4), mode}});
    }
    // Run enable, then the load strobe (masked writes of the counter's bit).
    void Start(int c) {
        const auto bit = static_cast<std::uint16_t>(1u << (5 + c));
        Transact(
            Command(kRegisterMasked, true, {kRunEnables, bit, static_cast<std::uint16_t>(~bit)}));
        Transact(
            Command(kRegisterMasked, true, {kStartStrobes, bit, static_cast<std::uint16_t>(~bit)}));
        Transact(
            Command(kRegisterMasked, true, {kStartStrobes, 0, static_cast<std::uint16_t>(~bit)}));
    }
    // The value as the driver reads it: one list read of the low and high registers.
    std::uint32_t Value(int c) {
        const auto low = static_cast<std::uint16_t>(kCounterValueBase + 2 * c);
        const Message reply =
            Transact(Command(kRegisterList, false, {4, low, static_cast<std::uint16_t>(low + 1)}));
        return WordOf(reply, 2) | (static_cast<std::uint32_t>(WordOf(reply, 3)) << 16);
    }
};

TEST_F(Counters, CountEventsFollowsItsGateAndReportsTheWrap) {
    const std::uint16_t countEvents = kCounterRate | kCounterExternalClock;
    struct Case {
        const char* name;
        std::uint16_t gateBits;
        bool gateLevel;
        std::uint32_t counted;
    } cases[] = {
        {"no gate", 0x04, false, 1000},
        {"high gate, input high", 0x08, true, 1000},
        {"high gate, input low", 0x08, false, 0},
        {"low gate, input low", 0x0C, false, 1000},
    };
    for (const auto& c : cases) {
        Configure(1, countEvents | c.gateBits, 0, 0xFFFFFFFF);
        board->SetCounterGate(1, c.gateLevel);
        Start(1);
        board->CounterClock(1, 1000);
        EXPECT_EQ(Value(1), c.counted) << c.name;
    }
    // Loading zeroes the value; wrapping past 0xFFFFFFFF sends the counter's overflow bit.
    Configure(3, countEvents | 0x04, 0, 0xFFFFFFFF);
    Start(3);
    board->CounterClock(3, 0xFFFFFFFFull);
    EXPECT_EQ(Value(3), 0xFFFFFFFFu);
    EXPECT_EQ(ReadStatus(50), std::nullopt);
    board->CounterClock(3, 2);
    EXPECT_EQ(Value(3), 1u);
    EXPECT_EQ(ReadStatus(), (StatusMessage{0, static_cast<std::uint16_t>(0x20 << 3)}));
    // Stopped (run enable cleared): edges are not counted, the value is kept.
    Write(kRunEnables, 0);
    board->CounterClock(3, 5);
    EXPECT_EQ(Value(3), 1u);
}

TEST_F(Counters, UpDownCountsFromTheWidthRegister) {
    Configure(0, kCounterUpDownPattern | 0x08, 0, 0x80000000);
    Start(0);
    board->CounterClock(0, 10);
    board->SetCounterDirection(0, false);
    board->CounterClock(0, 3);
    EXPECT_EQ(Value(0), 0x80000007u);
}

TEST_F(Counters, RateModeIsAPulseTrainOfTheProgrammedPeriodAndWidth) {
    // 1,000 Hz at 50 percent on the internal clock: period 1 - 18,000, width -9,000.
    Configure(2, kCounterRate | kCounterActiveHigh | 0x04, 1u - 18000u, 0u - 9000u);
    Start(2);
    time->Advance(10ms);
    const CounterReading reading = board->Counter(2);
    EXPECT_TRUE(reading.running);
    EXPECT_DOUBLE_EQ(reading.frequencyHz, 1000.0);
    EXPECT_DOUBLE_EQ(reading.duty, 0.5);
    EXPECT_EQ(reading.pulses, 10u);
}

TEST_F(Counters, EdgeToEdgeMeasuresClocksBetweenTheEdges) {
    // Start on the gate's rising edge (code 0), stop on its falling edge (code 1).
    const std::uint16_t mode = kCounterEdgeToEdgePattern | (0u << 10) | (1u << 12);
    Configure(4, mode, 0, 0x80000000);
    Start(4);
    Write(kCounterBase + 5 * 4 + 4, mode | kCounterMeasure);
    EXPECT_EQ(Read(kCounterStatus), 1u << 9) << "measuring";
    board->SetCounterGate(4, false);  // not the start edge
    time->Advance(5ms);
    board->SetCounterGate(4, true);  // rising: start
    time->Advance(1ms);
    board->SetCounterGate(4, false);  // falling: stop
    EXPECT_EQ(Read(kCounterStatus), 0u);
    EXPECT_EQ(Value(4), 18000u);
}

// Wired inputs: a square on a clock input counts its rising edges, a counter's clock wired to
// another counter's rate output counts its pulses, and a square on a repeated one-shot's gate
// fires one pulse per rising edge, logged as the output's edges one period after each trigger.
TEST_F(Counters, WiredClockAndGateInputsDriveTheCounters) {
    constexpr std::uint16_t kCount = kCounterRate | kCounterExternalClock | 0x04;  // no gate
    board->SetCounterClockSignal(2, Signal::Square(0, 5, 5000));
    Configure(2, kCount, 0, 0xFFFFFFFF);
    Start(2);
    Configure(0, kCounterRate | 0x04, 1u - 18'000u, 0u - 9'000u);  // 1 kHz
    Start(0);
    board->SetCounterClockSignal(1, std::nullopt, 0);
    Configure(1, kCount, 0, 0xFFFFFFFF);
    Start(1);
    board->SetCounterGateSignal(3, Signal::Square(0, 5, 100));
    constexpr std::uint16_t kRepeatOneShot = kCounterRepeat | kCounterArmed | kCounterGateHigh;
    Configure(3, kRepeatOneShot, 1u - 1'800u, 0u - 900u);  // 100 us, active for the last 50
    Start(3);
    board->ClearLog();
    const std::int64_t start = time->NowNs();
    time->Advance(50ms);
    EXPECT_EQ(Value(2), 250u) << "5 kHz for 50 ms";
    EXPECT_EQ(Value(1), 50u) << "the 1 kHz output's pulses";
    const CounterReading oneShot = board->Counter(3);
    EXPECT_EQ(oneShot.pulses, 5u) << "a rising gate edge every 10 ms";
    std::vector<std::int64_t> edges;
    for (const OutputChange& change : board->Outputs())
        if (change.channel == 5 + 3)
            edges.push_back(change.timeNs - start);
    ASSERT_EQ(edges.size(), 10u);
    for (std::size_t k = 0; k < 5; ++k) {
        // The square is high from power-on: its rising edges come at 10, 20, ... 50 ms.
        EXPECT_EQ(edges[2 * k], static_cast<std::int64_t>((k + 1) * 10'000'000 + 50'000)) << k;
        EXPECT_EQ(edges[2 * k + 1], static_cast<std::int64_t>((k + 1) * 10'000'000 + 100'000)) << k;
    }
}

}  // namespace
}  // namespace mq5120::test
