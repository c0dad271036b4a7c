// The board-list format, the simulated signals and the converter codes.
#include <gtest/gtest.h>

#include <fstream>

#include "registry/testing.h"
#include "sim/board_list.h"
#include "sim/simulated_board.h"

namespace {

using sim::BoardDescription;
using sim::ChannelKey;
using sim::Family;
using sim::Signal;

TEST(BoardList, LinesBecomeBoardsWithTheirSignals) {
    const auto list = sim::ParseBoardList(
        "# the lab machine\n"
        "\n"
        "MQ5120 4 1\n"
        "  mq5310  0x1 0x4d2   AD0.3=const:-2.5  # trailing comment\n"
        "Mq5200 0x5202 7 AD0.0=sine:1.5:50 AD0.1=square:2:10:1 DIN0.0=pattern:0x55,170,3 "
        "CT1.0=const:12\n"
        "Mq5130 0x5130 8 DOUT11.2=const:1 unpaced\n");
    ASSERT_TRUE(list.errors.empty()) << list.errors[0].message;
    ASSERT_EQ(list.boards.size(), 4u);
    EXPECT_EQ(list.boards[0], sim::DefaultBoard());
    EXPECT_EQ(list.boards[1].family, Family::kMq5310);
    EXPECT_EQ(list.boards[1].boardType, 1u);
    EXPECT_EQ(list.boards[1].serialNumber, 0x4D2u);
    const BoardDescription& mq5200 = list.boards[2];
    Signal sine{Signal::Kind::kSine, 1.5, 50.0, 0.0, {}};
    Signal square{Signal::Kind::kSquare, 2.0, 10.0, 1.0, {}};
    Signal pattern{Signal::Kind::kPattern, 0, 0, 0, {0x55, 170, 3}};
    Signal counter{Signal::Kind::kConstant, 12.0, 0, 0, {}};
    EXPECT_EQ(mq5200.signals.at(ChannelKey{0, 0, 0}), sine);
    EXPECT_EQ(mq5200.signals.at(ChannelKey{0, 0, 1}), square);
    EXPECT_EQ(mq5200.signals.at(ChannelKey{2, 0, 0}), pattern);
    EXPECT_EQ(mq5200.signals.at(ChannelKey{5, 1, 0}), counter);
    EXPECT_EQ(list.boards[3].signals.count(ChannelKey{3, 11, 2}), 1u);
    EXPECT_TRUE(list.boards[3].unpaced);
    EXPECT_FALSE(list.boards[2].unpaced);

    // Writing a board and reading it back gives the same board.
    for (const auto& board : list.boards) {
        const auto again = sim::ParseBoardList(sim::FormatBoard(board));
        ASSERT_EQ(again.boards.size(), 1u) << sim::FormatBoard(board);
        EXPECT_EQ(again.boards[0], board);
    }
}

TEST(BoardList, BadLinesAreSkippedWithTheirReason) {
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"MQ9999 1 1", "unknown family"},
        {"MQ5120 4", "expected"},
        {"MQ5120 four 1", "bad board type"},
        {"MQ5120 4 0x", "bad board type"},
        {"MQ5120 4 1 AD0.0", "bad channel"},
        {"MQ5120 4 1 XY0.0=const:1", "bad channel"},
        {"MQ5120 4 1 AD.0=const:1", "bad channel"},
        {"MQ5120 4 1 AD0.0=const:", "const needs"},
        {"MQ5120 4 1 AD0.0=const:1:2", "const needs"},
        {"MQ5120 4 1 AD0.0=const:nan", "const needs"},
        {"MQ5120 4 1 AD0.0=sine:1", "sine needs"},
        {"MQ5120 4 1 AD0.0=square:1:-5", "square needs"},
        {"MQ5120 4 1 AD0.0=pattern:", "bad code"},
        {"MQ5120 4 1 AD0.0=pattern:1,,2", "bad code"},
        {"MQ5120 4 1 AD0.0=noise:1", "unknown signal"},
        {"MQ5120 4 1 AD0.0=DA0.4", "cannot drive"},
        {"MQ5120 4 1 AD0.0=DOUT0.0", "cannot drive"},
        {"MQ5120 4 1 DIN0.0=DA0.1", "cannot drive"},
        {"MQ5120 4 1 CT0.2=CT0.2", "cannot drive"},
        {"MQ5120 4 1 CT0.2=CT0.5", "cannot drive"},
        {"MQ5120 4 1 GATE0.1=CT0.0", "cannot drive"},
    };
    for (const auto& c : cases) {
        const auto list = sim::ParseBoardList(std::string("Mq5130 0x5130 1\n") + c.line);
        EXPECT_EQ(list.boards.size(), 1u) << c.line;
        ASSERT_EQ(list.errors.size(), 1u) << c.line;
        EXPECT_EQ(list.errors[0].line, 2);
        EXPECT_NE(list.errors[0].message.find(c.reason), std::string::npos)
            << c.line << ": " << list.errors[0].message;
    }
    // The same family and serial number twice name one device: the second is skipped; the same
    // serial number in another family is another board.
    const auto list = sim::ParseBoardList("MQ5120 4 7\nmq5120 0 7\nMQ5310 0 7\n");
    EXPECT_EQ(list.boards.size(), 2u);
    ASSERT_EQ(list.errors.size(), 1u);
    EXPECT_EQ(list.errors[0].line, 2);
}

// Wires: an input reads one of the board's own outputs; counters' clocks and gates take signals
// too. Written out and read back, the board is the same.
TEST(BoardList, WiresConnectInputsToTheBoardsOwnOutputs) {
    const auto list = sim::ParseBoardList(
        "MQ5120 4 1 AD0.2=DA0.1 ad0.5=da0.3 DIN0.0=DOUT0.0 CT0.1=CT0.0 CT0.3=square:2.5:1000:2.5 "
        "GATE0.3=square:2.5:10:2.5 GATE0.4=const:5\n");
    ASSERT_TRUE(list.errors.empty()) << list.errors[0].message;
    ASSERT_EQ(list.boards.size(), 1u);
    const auto& signals = list.boards[0].signals;
    auto wire = [](Signal::Kind kind, std::uint32_t source) {
        Signal signal;
        signal.kind = kind;
        signal.source = source;
        return signal;
    };
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelAnalogInput, 0, 2}),
              wire(Signal::Kind::kAnalogOutput, 1));
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelAnalogInput, 0, 5}),
              wire(Signal::Kind::kAnalogOutput, 3));
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelDigitalInput, 0, 0}),
              wire(Signal::Kind::kDigitalOutput, 0));
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelCounter, 0, 1}), wire(Signal::Kind::kCounter, 0));
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelCounter, 0, 3}).kind, Signal::Kind::kSquare);
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelGate, 0, 3}).frequency, 10.0);
    EXPECT_EQ(signals.at(ChannelKey{sim::kChannelGate, 0, 4}).volts, 5.0);
    const auto again = sim::ParseBoardList(sim::FormatBoard(list.boards[0]));
    ASSERT_EQ(again.boards.size(), 1u) << sim::FormatBoard(list.boards[0]);
    EXPECT_EQ(again.boards[0], list.boards[0]);
}

TEST(BoardList, MachineWithoutAListHasTheDefaultBoard) {
    registry::ScopedMachine machine;
    auto list = sim::ReadBoardList(machine.directory());
    ASSERT_EQ(list.boards.size(), 1u);
    EXPECT_EQ(list.boards[0].family, Family::kMq5120);
    EXPECT_EQ(list.boards[0].boardType, 4u);
    EXPECT_EQ(list.boards[0].serialNumber, 1u);

    std::ofstream(machine.directory() / sim::kBoardListFileName) << "# no boards\n";
    list = sim::ReadBoardList(machine.directory());
    EXPECT_TRUE(list.boards.empty()) << "an empty list is a machine without boards";
}

TEST(Signals, LevelsOverTime) {
    const Signal sine{Signal::Kind::kSine, 2.0, 10.0, 1.0, {}};
    const Signal square{Signal::Kind::kSquare, 2.0, 10.0, 1.0, {}};
    struct Case {
        const Signal* signal;
        double seconds;
        double volts;
    } cases[] = {
        {&sine, 0.0, 1.0},     {&sine, 0.025, 3.0},   {&sine, 0.075, -1.0},   {&square, 0.0, 3.0},
        {&square, 0.049, 3.0}, {&square, 0.05, -1.0}, {&square, 0.099, -1.0}, {&square, 0.1, 3.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(sim::VoltsAt(*c.signal, c.seconds), c.volts, 1e-9) << c.seconds;
}

TEST(Signals, ConverterCodes) {
    const sim::CodeFormat binary{-10.0, 10.0, 1.0, 16, false};
    const sim::CodeFormat twos{-10.0, 10.0, 1.0, 16, true};
    const sim::CodeFormat gain2{-10.0, 10.0, 2.0, 16, false};
    const sim::CodeFormat unipolar12{0.0, 10.0, 1.0, 12, false};
    struct Case {
        const sim::CodeFormat* format;
        double volts;
        std::uint32_t code;
    } cases[] = {
        {&binary, 0.0, 32768},       {&binary, 2.5, 40960},      {&binary, -10.0, 0},
        {&binary, 10.0, 65535},  // the top of the range saturates
        {&binary, -12.0, 0},         {&gain2, 2.5, 49152},       {&gain2, 6.0, 65535},
        {&twos, 5.0, 16384},         {&twos, -5.0, 0xFFFFC000u},  // sign-extended
        {&twos, -10.0, 0xFFFF8000u}, {&twos, 10.0, 32767},       {&unipolar12, 2.5, 1024},
        {&unipolar12, -1.0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim::CodeForVolts(c.volts, *c.format), c.code) << c.volts;
}

TEST(SimulatedBoardState, PatternsCycleAndStateIsKept) {
    BoardDescription description = sim::DefaultBoard();
    description.signals[ChannelKey{2, 0, 0}] = Signal{Signal::Kind::kPattern, 0, 0, 0, {7, 8}};
    sim::SimulatedBoard board(description);
    const sim::CodeFormat format;
    EXPECT_EQ(board.ReadInput({2, 0, 0}, format), 7u);
    EXPECT_EQ(board.ReadInput({2, 0, 0}, format), 8u);
    EXPECT_EQ(board.ReadInput({2, 0, 0}, format), 7u);
    EXPECT_EQ(board.ReadInput({2, 0, 1}, format), 0u) << "a digital input without a signal";
    EXPECT_EQ(board.ReadInput({0, 0, 5}, format), 32768u) << "an analog input without a signal";
    EXPECT_EQ(board.ReadOutput({1, 0, 0}), 0u);
    board.WriteOutput({1, 0, 0}, 4095);
    EXPECT_EQ(board.ReadOutput({1, 0, 0}), 4095u);
    EXPECT_EQ(board.ReadOutput({1, 1, 0}), 0u);
    EXPECT_EQ(board.ReadHardwareInfo().serialNumber, 1u);
}

// A scanned channel list: entries in turn, patterns advancing per entry, levels at each
// conversion's own time, and a scan that goes on where the last one stopped.
TEST(SimulatedBoardState, ScanFollowsTheListAndTheConversionTimes) {
    BoardDescription description = sim::DefaultBoard();
    description.signals[ChannelKey{0, 0, 0}] = Signal{Signal::Kind::kPattern, 0, 0, 0, {1, 2, 3}};
    description.signals[ChannelKey{0, 0, 1}] = Signal{Signal::Kind::kSquare, 5.0, 1.0, 0.0, {}};
    sim::SimulatedBoard board(description);
    const std::vector<ChannelKey> list = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}};
    const std::vector<sim::CodeFormat> formats(3);
    // 6 conversions per second: the square wave (1 Hz) is high for the first half second.
    std::uint32_t codes[12] = {};
    board.ScanInputs(list, formats, 0, 6, 0.0, 6.0, codes);
    board.ScanInputs(list, formats, 6, 6, 0.0, 6.0, codes + 6);
    const std::uint32_t high = sim::CodeForVolts(5.0, formats[0]);
    const std::uint32_t low = sim::CodeForVolts(-5.0, formats[0]);
    const std::uint32_t zero = sim::CodeForVolts(0.0, formats[0]);
    const std::uint32_t expected[12] = {1, high, zero, 2, low, zero, 3, high, zero, 1, low, zero};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(codes[i], expected[i]) << "conversion " << i;
}

}  // namespace
