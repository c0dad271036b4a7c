// Boards found through the older device map: enumeration, opening by name, subsystems by type and
// element, renaming and the device name, onto the tests' recording driver, with the Mq5200
// family's extension library bound by name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "hxda/request_codes.h"
#include "kernel/machine.h"
#include "kernel/testing.h"
#include "recording_driver.h"
#include "registry/testing.h"
#include "testing/hxda_testing.h"
#include "win32/module.h"
#include "win32/registry.h"
#include "win32/version.h"

namespace hxda::test {
namespace {

constexpr const char kDeviceMap[] = "Hardware\\DeviceMap\\MqHalcyonDaDevice";
constexpr const char kDatabase[] =
    "System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase";

struct MapEntry {
    const char* key;
    const char* boardName;  // null: value missing
    const char* driverName;
    std::uint32_t boardType;
    const char* model;
    std::uint32_t serial;
};

HKEY createKey(const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

void setString(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(std::strlen(value) + 1));
}

void setDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string readString(const std::string& path, const char* name) {
    char value[128] = {};
    DWORD bytes = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    const LONG result =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(value) : "<no value>";
}

struct Listed {
    std::string board;
    std::string driver;
};

BOOL CALLBACK collect(LPSTR board, LPSTR driver, LPARAM user) {
    reinterpret_cast<std::vector<Listed>*>(user)->push_back({board, driver});
    return TRUE;
}
BOOL CALLBACK stopAtFirst(LPSTR board, LPSTR driver, LPARAM user) {
    collect(board, driver, user);
    return FALSE;
}

class DeviceMapBoards : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::resetHandleTables();
        win32::testing::SetOsVersionForTesting({VER_PLATFORM_WIN32_NT, 4, 0, 1381, ""});
        ASSERT_EQ(recorder::Load(), 0);
        // The machine clears the device map when it boots: boot it before the entries are made.
        kernel::machine::EnsureBooted();
        add({"Board0", "Bench(00)", "Mq5200", 0x5204, "MQ5204", 7});
        add({"Board1", "Spare(01)", "Mq5200", 0x5201, "MQ5201", 0xFFFFFFFFu});
    }
    void TearDown() override {
        testing::resetHandleTables();
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        recorder::Unload();
        kernel::machine::Shutdown();
        win32::testing::ResetOsVersionForTesting();
    }
    void add(const MapEntry& entry) {
        HKEY key = createKey(std::string(kDeviceMap) + "\\" + entry.key);
        if (entry.boardName)
            setString(key, "MqHalcyonBoardName", entry.boardName);
        setString(key, "DriverName", entry.driverName);
        setDword(key, "BoardType", entry.boardType);
        setString(key, "BoardModelName", entry.model);
        setDword(key, "SerialNumber", entry.serial);
        setDword(key, "DeviceInstanceNumber", 0);
        setString(key, "LinkName", "\\DosDevices\\HxdaRec");
        RegCloseKey(key);
    }

    registry::ScopedMachine machine;
};

TEST_F(DeviceMapBoards, EnumerationListsEveryReadableBoardInOrder) {
    std::vector<Listed> listed;
    ASSERT_EQ(hxDaEnumBoards(&collect, reinterpret_cast<LPARAM>(&listed)), HXNOERROR);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].board, "Bench(00)");
    EXPECT_EQ(listed[0].driver, "Mq5200");
    EXPECT_EQ(listed[1].board, "Spare(01)");

    listed.clear();
    EXPECT_EQ(hxDaEnumBoards(&stopAtFirst, reinterpret_cast<LPARAM>(&listed)), HXNOERROR);
    EXPECT_EQ(listed.size(), 1u);

    // A board without a readable name (listed first) ends the enumeration there.
    add({"A-Board", nullptr, "Mq5200", 0x5204, "MQ5204", 9});
    listed.clear();
    EXPECT_EQ(hxDaEnumBoards(&collect, reinterpret_cast<LPARAM>(&listed)), HXNOBOARDS);
    EXPECT_TRUE(listed.empty());

    EXPECT_EQ(hxDaEnumBoards(nullptr, 0), HXNULLENUMPROC);
    EXPECT_EQ(hxDaEnumBoards(reinterpret_cast<BoardEnumProc>(&listed), 0), HXNULLENUMPROC);
}

TEST_F(DeviceMapBoards, NoBoardsAndUnsupportedSystemsCallNothing) {
    std::vector<Listed> listed;
    win32::testing::SetOsVersionForTesting({VER_PLATFORM_WIN32_NT, 3, 51, 1057, ""});
    EXPECT_EQ(hxDaEnumBoards(&collect, reinterpret_cast<LPARAM>(&listed)), HXNOBOARDS);
    HDEV hDev = 0;
    EXPECT_EQ(hxDaInitialize("Bench(00)", &hDev), HXDRIVERINITFAILED);
    EXPECT_TRUE(listed.empty());
}

TEST_F(DeviceMapBoards, OpensByNameWithoutRegardToCase) {
    HDEV first = 0;
    HDEV second = 0;
    ASSERT_EQ(hxDaInitialize("BENCH(00)", &first), HXNOERROR);
    ASSERT_EQ(hxDaInitialize("bench(00)", &second), HXNOERROR);
    EXPECT_NE(first, second);  // every call makes a new device handle

    char name[16];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(hxDaGetDeviceName(first, name, 4), HXNOERROR);
    EXPECT_STREQ(name, "BEN");
    ASSERT_EQ(hxDaGetDeviceName(first, name, 11), HXNOERROR);
    EXPECT_STREQ(name, "BENCH(00)");
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(hxDaGetDeviceName(first, name, 0), HXNULLSTRING);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(hxDaGetDeviceName(first, nullptr, 8), HXNULLSTRING);
    EXPECT_EQ(hxDaGetDeviceName(first, const_cast<char*>("literal"), 8), HXNULLSTRING);
    EXPECT_EQ(hxDaGetDeviceName(0x1234, name, 8), HXINVALIDDEVHANDLE);

    const auto device = findDevice(first);
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->modelName, "MQ5204");
    EXPECT_EQ(device->boardType, 0x5204u);
    EXPECT_STREQ(device->devicePath, "\\\\.\\HxdaRec");

    EXPECT_EQ(hxDaTerminate(first), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(first), HXINVALIDDEVHANDLE);
    EXPECT_EQ(hxDaTerminate(second), HXNOERROR);
}

TEST_F(DeviceMapBoards, RefusedOpens) {
    HDEV hDev = 0;
    EXPECT_EQ(hxDaInitialize("No such board", &hDev), HXDRIVERINITFAILED);
    EXPECT_EQ(hxDaInitialize(nullptr, &hDev), HXNULLSTRING);
    EXPECT_EQ(hxDaInitialize("Bench(00)", nullptr), HXDRIVERINITFAILED);
    EXPECT_EQ(hxDaInitialize(std::string(60, 'B').c_str(), &hDev), HXDRIVERINITFAILED);

    // The family does not know the board type: its library answers 0 and is unloaded again.
    add({"Board2", "Odd(02)", "Mq5200", 0x5299, "MQ5299", 3});
    EXPECT_EQ(hxDaInitialize("Odd(02)", &hDev), HXDRIVERINITFAILED);
    EXPECT_EQ(GetModuleHandleA("Mq5200.dll"), nullptr);

    // No extension library of that name.
    add({"Board3", "Alien(03)", "NoSuchFamily", 1, "X", 4});
    EXPECT_EQ(hxDaInitialize("Alien(03)", &hDev), HXDRIVERINITFAILED);
}

TEST_F(DeviceMapBoards, SubsystemsOpenOnceWithinTheFamilysCounts) {
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("Bench(00)", &hDev), HXNOERROR);  // MQ5204: 1 A/D, 1 D/A, 2 C/T
    HDASS input = 0;
    HDASS counter = 0;
    HDASS unused = 0;
    ASSERT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, &input), HXNOERROR);
    EXPECT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, &unused), HXSUBSYSINUSE);
    EXPECT_EQ(hxDaGetDASS(hDev, HXSS_CT, 1, &counter), HXNOERROR);
    for (const auto& [type, element] : std::vector<std::pair<UINT, UINT>>{
             {HXSS_CT, 2}, {HXSS_DA, 1}, {HXSS_SRL, 0}, {6, 0}, {0xFFFFFFFFu, 0}})
        EXPECT_EQ(hxDaGetDASS(hDev, type, element, &unused), HXINVALIDSUBSYS) << type;
    EXPECT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, nullptr), HXINVALIDSSHANDLE);
    EXPECT_EQ(hxDaGetDASS(0, HXSS_AD, 0, &unused), HXINVALIDDEVHANDLE);
    // Opening sends the driver nothing but the copy thread's pending event requests.
    for (const recorder::Request& request : recorder::Requests())
        EXPECT_EQ(request.code, IOCTL_HXDA_WAITEVENT);

    // The personality came from the family: the MQ5204's A/D has 16 single-ended channels.
    UINT channels = 0;
    ASSERT_EQ(hxDaGetSSCaps(input, HXSSC_NUMSECHANNELS, &channels), HXNOERROR);
    EXPECT_GT(channels, 0u);

    EXPECT_EQ(hxDaTerminate(hDev), HXSUBSYSINUSE);
    EXPECT_EQ(hxDaReleaseDASS(input), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(input), HXINVALIDSSHANDLE);
    EXPECT_EQ(hxDaTerminate(hDev), HXSUBSYSINUSE);
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    EXPECT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, &unused), HXINVALIDDEVHANDLE);
}

struct Enumerated {
    std::string name;
    UINT type;
    UINT element;
};

BOOL CALLBACK collectSubsystems(LPSTR name, hxss_tag type, UINT element, LPARAM user) {
    reinterpret_cast<std::vector<Enumerated>*>(user)->push_back({name, type, element});
    return TRUE;
}

TEST_F(DeviceMapBoards, SubsystemsAreEnumeratedFromTheFamilysCounts) {
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("Bench(00)", &hDev), HXNOERROR);
    std::vector<Enumerated> seen;
    ASSERT_EQ(hxDaEnumSubSystems(hDev, &collectSubsystems, reinterpret_cast<LPARAM>(&seen)),
              HXNOERROR);
    std::vector<std::string> names;
    for (const auto& entry : seen)
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"AD Unit 0", "DA Unit 0", "DIN Unit 0",
                                               "DOUT Unit 0", "CT Unit 0", "CT Unit 1"}));
    EXPECT_EQ(seen.back().type, HXSS_CT);
    EXPECT_EQ(seen.back().element, 1u);
    EXPECT_EQ(hxDaEnumSubSystems(hDev, nullptr, 0), HXNULLENUMPROC);
    EXPECT_EQ(hxDaEnumSubSystems(0, &collectSubsystems, 0), HXINVALIDDEVHANDLE);

    HDASS counter = 0;
    ASSERT_EQ(hxDaGetDASS(hDev, HXSS_CT, 1, &counter), HXNOERROR);
    HXDASSINFO info{};
    ASSERT_EQ(hxDaGetDASSInfo(counter, &info), HXNOERROR);
    EXPECT_EQ(info.hDev, hDev);
    EXPECT_EQ(info.subsystemType, HXSS_CT);
    EXPECT_EQ(info.element, 1u);
    ASSERT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaGetDASSInfo(counter, &info), HXINVALIDSSHANDLE);
}

TEST_F(DeviceMapBoards, RenameReachesTheBoardAndItsDatabaseEntry) {
    RegCloseKey(createKey(std::string(kDatabase) + "\\MQ5204\\00000007"));
    // The second board's serial number is unknown: its enumeration index (1) stands for it, and
    // its database entry is keyed by the driver name.
    RegCloseKey(createKey(std::string(kDatabase) + "\\Mq5200\\00000001"));

    EXPECT_EQ(hxDaModifyHalcyonBoardName("BENCH(00)", "Rig"), HXNOERROR);
    EXPECT_EQ(readString(std::string(kDeviceMap) + "\\Board0", "MqHalcyonBoardName"), "Rig");
    EXPECT_EQ(readString(std::string(kDatabase) + "\\MQ5204\\00000007", "MqHalcyonBoardName"),
              "Rig");
    HDEV hDev = 0;
    EXPECT_EQ(hxDaInitialize("rig", &hDev), HXNOERROR);
    EXPECT_EQ(hxDaInitialize("Bench(00)", &hDev), HXDRIVERINITFAILED);

    EXPECT_EQ(hxDaModifyHalcyonBoardName("Spare(01)", "Second"), HXNOERROR);
    EXPECT_EQ(readString(std::string(kDatabase) + "\\Mq5200\\00000001", "MqHalcyonBoardName"),
              "Second");

    EXPECT_EQ(hxDaModifyHalcyonBoardName("Nobody", "X"), HXNOBOARDS);
    EXPECT_EQ(hxDaModifyHalcyonBoardName(nullptr, "X"), HXNOBOARDS);
    EXPECT_EQ(hxDaModifyHalcyonBoardName("Rig", nullptr), HXNOBOARDS);
    EXPECT_EQ(hxDaModifyHalcyonBoardName("Rig", std::string(52, 'n').c_str()), HXNOBOARDS);
    EXPECT_EQ(readString(std::string(kDeviceMap) + "\\Board0", "MqHalcyonBoardName"), "Rig");
}

TEST_F(DeviceMapBoards, RenameWithoutADatabaseEntryReportsFailure) {
    EXPECT_EQ(hxDaModifyHalcyonBoardName("Bench(00)", "Rig"), HXNOBOARDS);
}

TEST_F(DeviceMapBoards, TuningValuesAreReadAtEveryOpen) {
    HKEY key = createKey("SOFTWARE\\Marquell\\MQ-Halcyon Data Acquisition Software");
    setDword(key, "MessageOnAbort", 1);
    setDword(key, "CopyThreadPriority", 2);
    setDword(key, "AbortSleepTimeMSecs", 30);
    RegCloseKey(key);
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize("Bench(00)", &hDev), HXNOERROR);
    const auto device = findDevice(hDev);
    EXPECT_EQ(device->messageOnAbort, 1u);
    EXPECT_EQ(device->copyThreadPriority, 2u);
    EXPECT_EQ(device->abortSleepTimeMSecs, 30u);
    EXPECT_EQ(device->threadStartSleepTimeMSecs, 0u);
}

}  // namespace
}  // namespace hxda::test
