// A running machine follows its board list: a new line plugs a board in, a removed line pulls it
// out, a changed signal takes effect on the running board (its open files keep going), and a
// changed board type or pacing replaces the board. A board listed again while its last device
// still has a file open waits for that file. A board pulled out by an injected fault leaves like a
// removed line's.
#include <gtest/gtest.h>

#include "client.h"
#include "machine_waits.h"
#include "sim/machine_pnp_testing.h"
#include "sim/machine_testing.h"
#include "win32/handles.h"

namespace {

using Minors = std::vector<unsigned char>;
constexpr unsigned char kStart = 0x00, kRemove = 0x02, kQueryCapabilities = 0x09,
                        kQueryState = 0x14, kSurpriseRemoval = 0x17;
// A stand-in board's bus sees the capability query; MQ5120k answers it itself.
const Minors kPlugIn = {kQueryCapabilities, kStart, kQueryState};
const Minors kPlugInAndOut = {kQueryCapabilities, kStart, kQueryState, kSurpriseRemoval, kRemove};
const Minors kMq5120PlugIn = {kStart, kQueryState};
const Minors kMq5120PlugInAndOut = {kStart, kQueryState, kSurpriseRemoval, kRemove};

bool Listed(std::size_t count) {
    return simtest::ListBoards().size() == count;
}

TEST(MachineWatch, AddedRemovedAndChangedLinesTakeEffectWhileRunning) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:7"});
    ASSERT_TRUE(Listed(1));
    HANDLE ad = simtest::OpenAd("\\\\.\\MQ51200\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    EXPECT_EQ(simtest::ReadAd0(ad), 7u);

    // A new line and a new signal at once.
    simtest::WriteBoardList(machine.directory(), {"MQ5120 4 1 AD0.0=pattern:9", "Mq5130 0x5130 3"});
    EXPECT_TRUE(simtest::WaitFor([] { return Listed(2); }));
    EXPECT_TRUE(simtest::WaitFor([&] { return simtest::ReadAd0(ad) == 9u; }))
        << "the open file reads the new signal";
    EXPECT_EQ(sim::testing::PnpRequestsSeen("MQ5120", 1), kMq5120PlugIn) << "not plugged in again";

    // A removed line.
    simtest::WriteBoardList(machine.directory(), {"MQ5120 4 1 AD0.0=pattern:9"});
    EXPECT_TRUE(simtest::WaitFor(
        [] { return sim::testing::PnpRequestsSeen("Mq5130", 3) == kPlugInAndOut; }));
    EXPECT_TRUE(Listed(1));
    EXPECT_EQ(simtest::ReadAd0(ad), 9u);
    CloseHandle(ad);

    // Another board type under the same serial number is another board.
    simtest::WriteBoardList(machine.directory(), {"MQ5120 2 1"});
    EXPECT_TRUE(simtest::WaitFor([] {
        const auto boards = simtest::ListBoards();
        return boards.size() == 1 && boards[0].modelName == "MQ5120-16-00-12";
    }));
    Minors replaced = kMq5120PlugInAndOut;
    replaced.insert(replaced.end(), kMq5120PlugIn.begin(), kMq5120PlugIn.end());
    // The new board is listed once it has started; its state query may still be on its way.
    EXPECT_TRUE(simtest::WaitFor([&] {
        return sim::testing::PnpRequestsSeen("MQ5120", 1) == replaced;
    })) << ::testing::PrintToString(sim::testing::PnpRequestsSeen("MQ5120", 1));

    // No list at all: the machine's default board, the full MQ5120.
    std::filesystem::remove(machine.directory() / "boards.txt");
    EXPECT_TRUE(simtest::WaitFor([] {
        const auto boards = simtest::ListBoards();
        return boards.size() == 1 && boards[0].modelName == "MQ5120-16-04-16";
    }));
    EXPECT_TRUE(machine.Shutdown());
}

TEST(MachineWatch, ALineThatOnlyChangesItsPacingReplacesTheBoard) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:7"});
    ASSERT_TRUE(Listed(1));
    simtest::WriteBoardList(machine.directory(), {"MQ5120 4 1 unpaced AD0.0=pattern:7"});
    Minors replaced = kMq5120PlugInAndOut;
    replaced.insert(replaced.end(), kMq5120PlugIn.begin(), kMq5120PlugIn.end());
    EXPECT_TRUE(
        simtest::WaitFor([&] { return sim::testing::PnpRequestsSeen("MQ5120", 1) == replaced; }));
    EXPECT_TRUE(Listed(1));
}

TEST(MachineWatch, ABoardPulledOutByAFaultGoesWithItsLastFileAndReturnsWithItsLine) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:7"});
    ASSERT_TRUE(Listed(1));
    HANDLE ad = simtest::OpenAd("\\\\.\\MQ51200\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, 0, 0, sim::testing::Fault::kRemoval));
    EXPECT_EQ(simtest::ReadAd0(ad), std::nullopt);
    Minors pulled = kMq5120PlugIn;
    pulled.push_back(kSurpriseRemoval);
    EXPECT_EQ(sim::testing::PnpRequestsSeen("MQ5120", 1), pulled) << "its file is still open";
    EXPECT_FALSE(sim::testing::InjectFault("MQ5120", 1, 0, 0, sim::testing::Fault::kRemoval));

    CloseHandle(ad);
    EXPECT_TRUE(simtest::WaitFor(
        [] { return sim::testing::PnpRequestsSeen("MQ5120", 1) == kMq5120PlugInAndOut; }));
    EXPECT_TRUE(simtest::WaitFor([] { return Listed(0); }));
    // The line stays: the board is back once the list drops it and lists it again.
    simtest::WriteBoardList(machine.directory(), {"Mq5130 0x5130 3"});
    ASSERT_TRUE(simtest::WaitFor([] { return Listed(1); }));
    simtest::WriteBoardList(machine.directory(), {"MQ5120 4 1 AD0.0=pattern:7"});
    Minors again = kMq5120PlugInAndOut;
    again.insert(again.end(), kMq5120PlugIn.begin(), kMq5120PlugIn.end());
    EXPECT_TRUE(
        simtest::WaitFor([&] { return sim::testing::PnpRequestsSeen("MQ5120", 1) == again; }));
    EXPECT_TRUE(machine.Shutdown());
}

TEST(MachineWatch, ABoardListedAgainWaitsForItsLastFileToClose) {
    sim::testing::ScopedSimulatedMachine machine({"Mq5200 0x5204 1", "Mq5200 0x5204 2"});
    ASSERT_TRUE(Listed(2));
    HANDLE first = simtest::Open("\\\\.\\Mq5200_0");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);

    simtest::WriteBoardList(machine.directory(), {"Mq5200 0x5204 2"});
    ASSERT_TRUE(simtest::WaitFor(
        [] { return sim::testing::PnpRequestsSeen("Mq5200", 1).size() > kPlugIn.size(); }));
    simtest::WriteBoardList(machine.directory(), {"Mq5200 0x5204 2", "Mq5200 0x5204 1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(Listed(1)) << "its earlier device still has a file open";

    CloseHandle(first);
    ASSERT_TRUE(simtest::WaitFor([] { return Listed(2); }));
    Minors again = kPlugInAndOut;
    again.insert(again.end(), kPlugIn.begin(), kPlugIn.end());
    EXPECT_EQ(sim::testing::PnpRequestsSeen("Mq5200", 1), again);
    // It gets its old number back, which the other board never took (the stand-in driver's
    // numbering; the MQ5120 boards' driver counts on).
    HANDLE back = simtest::Open("\\\\.\\Mq5200_0");
    EXPECT_NE(back, INVALID_HANDLE_VALUE);
    CloseHandle(back);
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    for (const auto& board : boards)
        EXPECT_EQ(board.instance, board.serialNumber == 1 ? 0u : 1u);
}

}  // namespace
