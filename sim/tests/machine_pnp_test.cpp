// The Plug and Play sequences a board's stack gets, as its driver passes them to the board's
// physical device: plug-in, surprise removal with files open (the stand-in driver fails their
// requests as a removed device's; REMOVE only after the last close), power requests and orderly
// removal, which the MQ5120 boards' driver refuses while a file is open.
#include <gtest/gtest.h>

#include <thread>

#include "client.h"
#include "kernel/testing.h"
#include "machine_waits.h"
#include "sim/machine_pnp_testing.h"
#include "sim/machine_testing.h"
#include "win32/errors.h"
#include "win32/handles.h"

namespace {

using Minors = std::vector<unsigned char>;
constexpr unsigned char kStart = 0x00, kQueryRemove = 0x01, kRemove = 0x02, kCancelRemove = 0x03,
                        kQueryCapabilities = 0x09, kQueryState = 0x14, kSurpriseRemoval = 0x17;
constexpr std::uint32_t kDeviceBusy = 0x80000011u;

Minors Then(Minors first, const Minors& next) {
    first.insert(first.end(), next.begin(), next.end());
    return first;
}
// A stand-in board's bus sees the capability query; MQ5120k answers it itself.
const Minors kPlugIn = {kQueryCapabilities, kStart, kQueryState};
const Minors kMq5120PlugIn = {kStart, kQueryState};

Minors SeenByMq5120() {
    return sim::testing::PnpRequestsSeen("MQ5120", 1);
}
Minors SeenByMq5200() {
    return sim::testing::PnpRequestsSeen("Mq5200", 1);
}

// Longer than the machine's and the kernel's polling: what has not happened by then is waiting.
void Settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

TEST(MachinePnp, SurpriseRemovalFailsOpenFilesAndRemovesAfterTheLastClose) {
    sim::testing::ScopedSimulatedMachine machine({"Mq5200 0x5204 1", "Mq5130 0x5130 3"});
    ASSERT_EQ(simtest::ListBoards().size(), 2u);
    EXPECT_EQ(SeenByMq5200(), kPlugIn);
    HANDLE device = simtest::Open("\\\\.\\Mq5200_0");
    HANDLE ad = simtest::Open("\\\\.\\Mq5200_0\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(simtest::ReadAd0(ad).has_value());

    simtest::WriteBoardList(machine.directory(), {"Mq5130 0x5130 3"});
    ASSERT_TRUE(simtest::WaitFor([] { return SeenByMq5200().size() > kPlugIn.size(); }));
    EXPECT_EQ(SeenByMq5200(), Then(kPlugIn, {kSurpriseRemoval}));
    // The board is no longer listed or opened.
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].driverName, "Mq5130");
    EXPECT_EQ(simtest::Open("\\\\.\\Mq5200_0"), INVALID_HANDLE_VALUE);
    // The open files' requests fail as a removed device's, on the board and on a subsystem.
    EXPECT_FALSE(simtest::ReadAd0(ad).has_value());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
    hxda::DriverRequest request{};
    const simtest::Answer answer = simtest::Send(device, IOCTL_HXDA_READREG, request);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, static_cast<DWORD>(ERROR_DEVICE_REMOVED));

    // REMOVE waits for every file of the stack.
    Settle();
    CloseHandle(ad);
    Settle();
    EXPECT_EQ(SeenByMq5200(), Then(kPlugIn, {kSurpriseRemoval})) << "a file is still open";
    CloseHandle(device);
    ASSERT_TRUE(simtest::WaitFor([] { return SeenByMq5200().back() == kRemove; }));
    EXPECT_EQ(SeenByMq5200(), Then(kPlugIn, {kSurpriseRemoval, kRemove}));
    // The pulled-out board's devices go; the other board's stay and serve.
    EXPECT_TRUE(simtest::WaitFor([] { return kernel::testing::LiveDevices() == 2; }));
    HANDLE other = simtest::Open("\\\\.\\Mq5130_0");
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
    EXPECT_EQ(sim::testing::PnpRequestsSeen("Mq5130", 3), kPlugIn);
}

TEST(MachinePnp, PowerRequestsPassDownToTheBus) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1"});
    ASSERT_EQ(simtest::ListBoards().size(), 1u);
    constexpr unsigned char kSetPower = 0x02;
    EXPECT_EQ(sim::testing::SetDevicePower("MQ5120", 1, 4), 0u);  // D3
    EXPECT_EQ(sim::testing::SetDevicePower("MQ5120", 1, 1), 0u);  // D0
    EXPECT_EQ(sim::testing::PowerRequestsSeen("MQ5120", 1), Minors({kSetPower, kSetPower}));
    EXPECT_EQ(SeenByMq5120(), kMq5120PlugIn) << "no Plug and Play request among them";
}

TEST(MachinePnp, OrderlyRemovalIsRefusedWhileAFileIsOpen) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1"});
    ASSERT_EQ(simtest::ListBoards().size(), 1u);
    HANDLE ad = simtest::OpenAd("\\\\.\\MQ51200\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);

    // The driver fails the query itself, so the bus sees only the cancel.
    EXPECT_EQ(sim::testing::RequestRemoval("MQ5120", 1), kDeviceBusy);
    EXPECT_EQ(SeenByMq5120(), Then(kMq5120PlugIn, {kCancelRemove}));
    EXPECT_TRUE(simtest::ReadAd0(ad).has_value()) << "still served";
    EXPECT_EQ(simtest::ListBoards().size(), 1u);

    CloseHandle(ad);
    EXPECT_EQ(sim::testing::RequestRemoval("MQ5120", 1), 0u);
    EXPECT_EQ(SeenByMq5120(), Then(kMq5120PlugIn, {kCancelRemove, kQueryRemove, kRemove}));
    EXPECT_TRUE(simtest::ListBoards().empty());
    EXPECT_TRUE(simtest::WaitFor([] { return kernel::testing::LiveDevices() == 0; }));
    // Only a board that is plugged in can be removed.
    EXPECT_EQ(sim::testing::RequestRemoval("MQ5120", 1), 0xC000000Eu);
    EXPECT_TRUE(machine.Shutdown());
}

}  // namespace
