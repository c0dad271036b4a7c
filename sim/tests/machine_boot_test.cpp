// Booting the simulated machine: the default board, a machine with boards of all four families,
// the registration values and the board database, the device map, and names that survive a new
// boot.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "client.h"
#include "kernel/machine.h"
#include "kernel/rules.h"
#include "kernel/testing.h"
#include "sim/machine_testing.h"
#include "win32/handles.h"

namespace {

using simtest::ListedBoard;

constexpr char kDatabase[] =
    "System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase\\";
constexpr char kDeviceMap[] = "Hardware\\DeviceMap\\MqHalcyonDaDevice";

using simtest::DatabaseName;

TEST(MachineBoot, DefaultMachineHasOneFullMq5120) {
    sim::testing::ScopedSimulatedMachine machine;
    EXPECT_FALSE(kernel::machine::IsBooted());
    const auto boards = simtest::ListBoards();  // the first use boots the machine
    EXPECT_TRUE(kernel::machine::IsBooted());
    ASSERT_EQ(boards.size(), 1u);
    const ListedBoard& board = boards[0];
    EXPECT_EQ(board.boardName, "MQ5120(00)");
    EXPECT_EQ(board.driverName, "MQ5120");
    EXPECT_EQ(board.modelName, "MQ5120-16-04-16");
    EXPECT_EQ(board.boardType, 4u);
    EXPECT_EQ(board.serialNumber, 1u);
    EXPECT_EQ(board.instance, 0u);
    EXPECT_EQ(DatabaseName("MQ5120", "00000001"), "MQ5120(00)");
    EXPECT_EQ(simtest::OpenMachineKey(std::string(kDeviceMap) + "\\MQ5120_0"), nullptr);

    HANDLE device = simtest::Open(board.devicePath);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    // Its driver's links name the same board: numbered, and the first board's unnumbered one.
    device = simtest::Open("\\\\.\\MQ51200");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    device = simtest::Open("\\\\.\\MQ5120");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);

    machine.Shutdown();
    EXPECT_FALSE(kernel::machine::IsBooted());
    EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
    // The next use boots the machine again.
    device = simtest::Open("\\\\.\\MQ51200");
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(kernel::machine::IsBooted());
    CloseHandle(device);
}

TEST(MachineBoot, BoardsOfAllFamiliesRegisterWithTheirValues) {
    sim::testing::ScopedSimulatedMachine machine({
        "# family type serial", "MQ5120 4 1", "Mq5200 0x5202 0x20", "mq5130 0x5130 0x30",
        "MQ5310 1 0x4D2",
        "MQ5120 2 0",  // serial 0: keyed by its instance number
    });
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 5u);
    struct Expected {
        const char* name;
        const char* driver;
        const char* model;
        std::uint32_t type;
        std::uint32_t serial;
        std::uint32_t instance;
        const char* databaseKey;
    } expected[] = {
        {"MQ5120(00)", "MQ5120", "MQ5120-16-04-16", 4, 1, 0, "00000001"},
        {"Mq5200(00)", "Mq5200", "MQ5202", 0x5202, 0x20, 0, "00000020"},
        {"Mq5130(00)", "Mq5130", "MQ5130", 0x5130, 0x30, 0, "00000030"},
        {"MQ5310(00)", "MQ5310", "MQ5310-2_5V", 1, 0x4D2, 0, "000004D2"},
        {"MQ5120(01)", "MQ5120", "MQ5120-16-00-12", 2, 1, 1, "00000001"},
    };
    // The second MQ5120 reports serial 0 and so registers its instance number, 1, which is the
    // first board's serial: both share the database key, and the second takes the stored name.
    expected[4].name = "MQ5120(00)";
    for (std::size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(expected[i].driver);
        EXPECT_EQ(boards[i].boardName, expected[i].name);
        EXPECT_EQ(boards[i].driverName, expected[i].driver);
        EXPECT_EQ(boards[i].modelName, expected[i].model);
        EXPECT_EQ(boards[i].boardType, expected[i].type);
        EXPECT_EQ(boards[i].serialNumber, expected[i].serial);
        EXPECT_EQ(boards[i].instance, expected[i].instance);
        EXPECT_EQ(DatabaseName(expected[i].driver, expected[i].databaseKey), expected[i].name);
        HANDLE device = simtest::Open(boards[i].devicePath);
        EXPECT_NE(device, INVALID_HANDLE_VALUE);
        CloseHandle(device);
    }

    // The MQ5310 is also in the device map, with the same values and a link name whose first 12
    // characters are the prefix the library drops.
    HKEY entry = simtest::OpenMachineKey(std::string(kDeviceMap) + "\\MQ5310_0");
    ASSERT_NE(entry, nullptr);
    const auto link = simtest::QueryString(entry, "LinkName");
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(*link, "\\DosDevices\\MQ5310_0");
    EXPECT_EQ(simtest::QueryString(entry, "MqHalcyonBoardName"), "MQ5310(00)");
    EXPECT_EQ(simtest::QueryString(entry, "DriverName"), "MQ5310");
    EXPECT_EQ(simtest::QueryDword(entry, "BoardType"), 1u);
    EXPECT_EQ(simtest::QueryDword(entry, "SerialNumber"), 0x4D2u);
    RegCloseKey(entry);
    HANDLE device = simtest::Open("\\\\.\\" + link->substr(12));
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

TEST(MachineBoot, SecondBoardOfADescriptionGetsTheNextNumber) {
    sim::testing::ScopedSimulatedMachine machine({"Mq5200 0x5201 7", "Mq5200 0x5203 9"});
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[0].boardName, "Mq5200(00)");
    EXPECT_EQ(boards[1].boardName, "Mq5200(01)");
    EXPECT_EQ(boards[1].instance, 1u);
}

TEST(MachineBoot, RenameSurvivesANewBootAndStaleDeviceMapEntriesGo) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1", "MQ5310 0 5"});
    auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    // A rename as the library writes it: the interface key and the database key.
    for (const auto& board : boards) {
        HKEY key = simtest::OpenInterfaceKey(board.devicePath);
        ASSERT_NE(key, nullptr);
        const std::string name = "Renamed " + board.driverName;
        RegSetValueExA(key, "MqHalcyonBoardName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>(name.size() + 1));
        RegCloseKey(key);
        HKEY database =
            simtest::OpenMachineKey(kDatabase + board.driverName +
                                    (board.driverName == "MQ5120" ? "\\00000001" : "\\00000005"));
        ASSERT_NE(database, nullptr);
        RegSetValueExA(database, "MqHalcyonBoardName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>(name.size() + 1));
        RegCloseKey(database);
    }
    // An entry a crashed run left in the device map.
    HKEY stale = nullptr;
    ASSERT_EQ(
        RegCreateKeyA(HKEY_LOCAL_MACHINE, (std::string(kDeviceMap) + "\\Gone_7").c_str(), &stale),
        ERROR_SUCCESS);
    RegCloseKey(stale);

    machine.Reboot();
    boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    for (const auto& board : boards)
        EXPECT_EQ(board.boardName, "Renamed " + board.driverName);
    HKEY entry = simtest::OpenMachineKey(std::string(kDeviceMap) + "\\MQ5310_0");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(simtest::QueryString(entry, "MqHalcyonBoardName"), "Renamed MQ5310");
    RegCloseKey(entry);
    EXPECT_EQ(simtest::OpenMachineKey(std::string(kDeviceMap) + "\\Gone_7"), nullptr);
}

TEST(MachineBoot, ShutdownWithFilesOpenIsRefusedAndTheMachineStaysUp) {
    sim::testing::ScopedSimulatedMachine machine;
    HANDLE ad = simtest::Open(simtest::ListBoards().at(0).devicePath + "\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    {
        kernel::RuleViolationRecorder violations;
        EXPECT_FALSE(machine.Reboot());
        EXPECT_TRUE(violations.Saw("files open on its boards"));
    }
    EXPECT_TRUE(kernel::machine::IsBooted());
    hxda::DriverRequest request{};
    request.subsystemType = 0;
    ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok) << "still served";
    CloseHandle(ad);
    EXPECT_TRUE(machine.Shutdown());
    EXPECT_FALSE(kernel::machine::IsBooted());
}

TEST(MachineBoot, ConcurrentFirstUsesBootOnce) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1", "Mq5130 0x5130 2"});
    std::vector<std::thread> threads;
    std::atomic<int> listedTwo{0};
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&] {
            if (simtest::ListBoards().size() == 2)
                ++listedTwo;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(listedTwo, 6);
    EXPECT_EQ(kernel::testing::LiveDevices(), 4u) << "two boards, each a bus device and its own";
}

TEST(MachineBoot, BadBoardListLinesAreSkipped) {
    sim::testing::ScopedSimulatedMachine machine({
        "MQ9999 1 1",  // unknown family
        "MQ5120 4",    // no serial number
        "MQ5120 4 1 AD0.0=const:abc", "Mq5130 0x5130 3",
        "mq5130 0x5130 3",  // the same board again
    });
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].driverName, "Mq5130");
}

}  // namespace
