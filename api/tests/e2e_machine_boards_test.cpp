// The library on a simulated machine with boards of all four families: enumeration, opening by
// name, every subsystem the family's counts allow, the capability tables as the library answers
// them, renaming that survives a new boot and a new process, and board information.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "boardext/extension_interface.h"
#include "extension_module.h"
#include "hxdaapi32.h"
#include "sim/machine_testing.h"
#include "win32/module.h"
#include "win32/version.h"

namespace {

const std::vector<std::string> kFourFamilies = {
    "MQ5120 4 1",
    "Mq5200 0x5204 0x20",
    "Mq5130 0x5130 0x30",
    "MQ5310 1 0x4D2",
};

std::string readAll(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

struct Listed {
    std::string board;
    std::string driver;
};

BOOL CALLBACK collect(LPSTR board, LPSTR driver, LPARAM user) {
    reinterpret_cast<std::vector<Listed>*>(user)->push_back({board, driver});
    return TRUE;
}

std::vector<Listed> listBoards() {
    std::vector<Listed> listed;
    hxDaEnumBoards(&collect, reinterpret_cast<LPARAM>(&listed));
    return listed;
}

// The extension library of a family, bound as the library binds it, to compare its tables with
// what the library answers.
class Extension : public boardext::testing::ExtensionModule {
  public:
    using ExtensionModule::ExtensionModule;
    PersonalityRecord personality(UINT boardType, UINT type, UINT element) const {
        PersonalityRecord record{};
        if (const auto entry = Personality())
            entry(boardType, "", type, element, &record);
        return record;
    }
    const SubsystemCounts* counts(UINT boardType) const {
        LPCSTR model = nullptr;
        const SubsystemCounts* counts = nullptr;
        const auto entry = BoardInfo();
        return entry && entry(boardType, "", &model, &counts) ? counts : nullptr;
    }
};

struct BoardUnderTest {
    const char* name;
    const char* driver;
    UINT boardType;
    UINT lastServedType;  // the subsystem types its driver serves, from the A/D on
};

// The MQ5120's own driver serves its A/D so far; the stand-in driver every subsystem.
const BoardUnderTest kBoards[] = {
    {"mq5120(00)", "MQ5120", 4, HXSS_AD},
    {"MQ5200(00)", "Mq5200", 0x5204, HXSS_CT},
    {"Mq5130(00)", "Mq5130", 0x5130, HXSS_CT},
    {"MQ5310(00)", "MQ5310", 1, HXSS_CT},
};

// Every capability the library answers for an open subsystem equals its family's table entry.
void expectCapabilitiesOf(HDASS hDass, const PersonalityRecord& tables, const std::string& where) {
    for (UINT code = 0; code <= 101; ++code) {
        const std::uint32_t entry = CapabilityEntryOfCode(code);
        if (entry == kCapabilityEntryCount)
            continue;
        UINT value = 0xDEADBEEF;
        ASSERT_EQ(hxDaGetSSCaps(hDass, code, &value), HXNOERROR) << where << " code " << code;
        EXPECT_EQ(value, CapabilityEntry(tables.capabilities, entry)) << where << " code " << code;
    }
    if (tables.clockLimits == nullptr)
        return;
    const double limits[] = {
        tables.clockLimits->maxClockFrequency,       tables.clockLimits->minClockFrequency,
        tables.clockLimits->maxRetriggerFrequency,   tables.clockLimits->minRetriggerFrequency,
        tables.clockLimits->maxExternalClockDivider, tables.clockLimits->minExternalClockDivider,
        tables.clockLimits->baseClockFrequency,
    };
    for (UINT i = 0; i < 7; ++i) {
        double value = -1.0;
        ASSERT_EQ(hxDaGetSSCapsEx(hDass, 61 + i, &value), HXNOERROR) << where;
        EXPECT_EQ(value, limits[i]) << where << " code " << 61 + i;
    }
}

TEST(MachineBoards, EveryFamilyOpensWithEverySubsystemItsCountsAllow) {
    sim::testing::ScopedSimulatedMachine machine(kFourFamilies);
    const std::vector<Listed> listed = listBoards();
    ASSERT_EQ(listed.size(), 4u);
    for (const BoardUnderTest& board : kBoards) {
        SCOPED_TRACE(board.name);
        const Extension extension(board.driver);
        const SubsystemCounts* counts = extension.counts(board.boardType);
        ASSERT_NE(counts, nullptr);
        HDEV hDev = 0;
        ASSERT_EQ(hxDaInitialize(board.name, &hDev), HXNOERROR);
        std::vector<HDASS> opened;
        UINT served = 0;
        for (UINT type = HXSS_AD; type <= board.lastServedType; ++type) {
            served += counts->count[type];
            for (UINT element = 0; element < counts->count[type]; ++element) {
                const std::string where = std::string(board.name) + " type " +
                                          std::to_string(type) + "." + std::to_string(element);
                HDASS hDass = 0;
                ASSERT_EQ(hxDaGetDASS(hDev, type, element, &hDass), HXNOERROR) << where;
                HDASS again = 0;
                EXPECT_EQ(hxDaGetDASS(hDev, type, element, &again), HXSUBSYSINUSE) << where;
                expectCapabilitiesOf(hDass, extension.personality(board.boardType, type, element),
                                     where);
                opened.push_back(hDass);
            }
            HDASS beyond = 0;
            EXPECT_EQ(hxDaGetDASS(hDev, type, counts->count[type], &beyond), HXINVALIDSUBSYS);
        }
        UINT total = 0;
        ASSERT_EQ(hxDaGetDevCaps(hDev, -1, &total), HXNOERROR);
        EXPECT_EQ(opened.size(), served);
        if (board.lastServedType == HXSS_CT) {
            EXPECT_EQ(total, opened.size());
        }
        EXPECT_EQ(hxDaTerminate(hDev), HXSUBSYSINUSE);
        // Another device handle of the same board cannot open a subsystem open on the first.
        HDEV second = 0;
        ASSERT_EQ(hxDaInitialize(board.name, &second), HXNOERROR);
        HDASS taken = 0;
        const UINT takenType = counts->count[HXSS_AD] > 0 ? HXSS_AD : HXSS_DIN;
        EXPECT_EQ(hxDaGetDASS(second, takenType, 0, &taken), HXSUBSYSINUSE);
        EXPECT_EQ(hxDaTerminate(second), HXNOERROR);
        for (const HDASS hDass : opened)
            EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    }
}

TEST(MachineBoards, SettingsReachTheBoardsDriverWithTheConfiguration) {
    sim::testing::ScopedSimulatedMachine machine(kFourFamilies);
    for (const BoardUnderTest& board : kBoards) {
        SCOPED_TRACE(board.name);
        HDEV hDev = 0;
        ASSERT_EQ(hxDaInitialize(board.name, &hDev), HXNOERROR);
        UINT inputs = 0;
        ASSERT_EQ(hxDaGetDevCaps(hDev, HXDC_ADELEMENTS, &inputs), HXNOERROR);
        if (inputs == 0) {
            EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
            continue;
        }
        HDASS input = 0;
        ASSERT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, &input), HXNOERROR);
        UINT channels = 0;
        ASSERT_EQ(hxDaGetSSCaps(input, HXSSC_NUMCHANNELS, &channels), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelListSize(input, 1), HXNOERROR);
        EXPECT_EQ(hxDaSetChannelListEntry(input, 0, channels), HXINVALIDCHANNEL);
        ASSERT_EQ(hxDaSetChannelListEntry(input, 0, channels - 1), HXNOERROR);
        EXPECT_EQ(hxDaSetDataFlow(input, HXDF_SINGLEVALUE), HXNOERROR);
        EXPECT_EQ(hxDaConfig(input), HXNOERROR);
        UINT entry = 0;
        ASSERT_EQ(hxDaGetChannelListEntry(input, 0, &entry), HXNOERROR);
        EXPECT_EQ(entry, channels - 1);
        EXPECT_EQ(hxDaReleaseDASS(input), HXNOERROR);
        EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    }
}

TEST(MachineBoards, BoardInformationOfTheInterfacePath) {
    sim::testing::ScopedSimulatedMachine machine(kFourFamilies);
    char driver[32];
    char model[32];
    UINT instance = 99;
    ASSERT_EQ(hxDaGetBoardInfo("mq5120(00)", driver, model, sizeof driver, &instance), HXNOERROR);
    EXPECT_STREQ(driver, "MQ5120");
    EXPECT_STREQ(model, "MQ5120-16-04-16");
    EXPECT_EQ(instance, 0u);
    EXPECT_EQ(hxDaGetBoardInfo("MQ5120(00)", driver, model, 4, &instance), HXBUFFERTOOSMALL);
    EXPECT_EQ(hxDaGetBoardInfo("Nobody", driver, model, sizeof driver, &instance),
              HXDRIVERINITFAILED);
    EXPECT_EQ(hxDaGetBoardInfo(nullptr, driver, model, sizeof driver, &instance), HXNULLSTRING);
    EXPECT_EQ(hxDaGetBoardInfo("MQ5120(00)", nullptr, model, sizeof driver, &instance),
              HXNULLSTRING);
    EXPECT_EQ(hxDaGetBoardInfo("MQ5120(00)", driver, model, sizeof driver, nullptr),
              HXDRIVERINITFAILED);
}

TEST(MachineBoards, VersionsOfTheLibraryAndOfTheBoardsDriverFile) {
    sim::testing::ScopedSimulatedMachine machine;
    char text[16];
    ASSERT_EQ(hxDaGetVersion(text, sizeof text), HXNOERROR);
    EXPECT_STREQ(text, "1.0.0.0");
    ASSERT_EQ(hxDaGetVersion(text, 4), HXNOERROR);
    EXPECT_STREQ(text, "1.0");
    EXPECT_EQ(hxDaGetVersion(nullptr, 8), HXNULLSTRING);
    EXPECT_EQ(hxDaGetVersion(text, 0), HXNULLSTRING);

    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("MQ5120(00)", &hDev), HXNOERROR);
    // The machine installs the MQ5120 boards' driver module itself as their driver's file.
    const auto drivers = machine.directory() / "windows" / "system32" / "drivers";
    EXPECT_EQ(readAll(drivers / "MQ5120k.sys"), readAll(MQ5120K_MODULE));
    EXPECT_EQ(readAll(drivers / "MQ5120k4.sys"), readAll(MQ5120K_MODULE));
    ASSERT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXNOERROR);
    EXPECT_STREQ(text, "6.5.0.1");  // the driver module's own version
    std::filesystem::remove(drivers / "MQ5120k.sys");
    std::filesystem::remove(drivers / "MQ5120k4.sys");
    EXPECT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXGENERALFAILURE);  // no file
    std::filesystem::copy_file(DRIVER_FILE_MODULE, drivers / "MQ5120k.sys");
    ASSERT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXNOERROR);
    EXPECT_STREQ(text, "6.5.0.0");
    ASSERT_EQ(hxDaGetDriverVersion(hDev, text, 2), HXNOERROR);
    EXPECT_STREQ(text, "6");
    // The older system names its driver file with "k4".
    win32::testing::SetOsVersionForTesting({VER_PLATFORM_WIN32_NT, 4, 0, 1381, ""});
    EXPECT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXGENERALFAILURE);
    std::filesystem::copy_file(DRIVER_FILE_MODULE, drivers / "MQ5120k4.sys");
    EXPECT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXNOERROR);
    win32::testing::ResetOsVersionForTesting();
    EXPECT_EQ(hxDaGetDriverVersion(hDev, nullptr, 8), HXNULLSTRING);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    EXPECT_EQ(hxDaGetDriverVersion(hDev, text, sizeof text), HXINVALIDDEVHANDLE);
}

TEST(MachineBoards, TheOlderSystemFindsTheBoardsOfTheDeviceMap) {
    sim::testing::ScopedSimulatedMachine machine(kFourFamilies);
    machine.Boot();
    win32::testing::SetOsVersionForTesting({VER_PLATFORM_WIN32_NT, 4, 0, 1381, ""});
    const std::vector<Listed> listed = listBoards();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].board, "MQ5310(00)");
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("MQ5310(00)", &hDev), HXNOERROR);
    HDASS output = 0;
    EXPECT_EQ(hxDaGetDASS(hDev, HXSS_DA, 0, &output), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(output), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    EXPECT_EQ(hxDaInitialize("MQ5120(00)", &hDev), HXDRIVERINITFAILED);
    win32::testing::ResetOsVersionForTesting();
}

TEST(MachineBoards, ARenameSurvivesANewBootAndANewProcess) {
    sim::testing::ScopedSimulatedMachine machine(kFourFamilies);
    ASSERT_EQ(hxDaModifyHalcyonBoardName("mq5120(00)", "Bench rig"), HXNOERROR);
    ASSERT_EQ(hxDaModifyHalcyonBoardName("MQ5310(00)", "Old rack"), HXNOERROR);
    machine.Reboot();
    std::vector<std::string> names;
    for (const Listed& board : listBoards())
        names.push_back(board.board);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Bench rig", "Mq5200(00)", "Mq5130(00)", "Old rack"}));
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("BENCH RIG", &hDev), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    EXPECT_EQ(hxDaInitialize("MQ5120(00)", &hDev), HXDRIVERINITFAILED);

    // A program started now boots its own machine from the same directory.
    machine.Shutdown();
    const std::string command = std::string(OPEN_BOARD_CHILD) + " 'Bench rig'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string oldName = std::string(OPEN_BOARD_CHILD) + " 'MQ5120(00)'";
    EXPECT_NE(std::system(oldName.c_str()), 0);
}

// A program that leaves its MQ5120 streaming and returns from main: the library aborts the
// acquisition as the process exits, and the driver's work behind that abort still runs, so the
// program ends (a hang would be ended by the timeout, status 124).
TEST(MachineBoards, AProgramThatExitsWhileItsBoardStreamsEnds) {
    sim::testing::ScopedSimulatedMachine machine;
    const std::string command =
        std::string("timeout 30 ") + OPEN_BOARD_CHILD + " 'MQ5120(00)' streaming";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
