// MQ5120 boards started by their driver and found by the library: the values the driver writes
// under each board's interface key and in the board database, the default names in the order the
// boards are seen, and a rename that the next boot keeps.
#include <string>
#include <variant>
#include <vector>

#include "e2e_mq5120_fixture.h"
#include "win32/registry.h"

namespace mq5120e2e {
namespace {

constexpr char kDatabase[] = "System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase";

using Value = std::variant<std::string, DWORD>;
struct NamedValue {
    std::string name;
    Value value;
    bool operator==(const NamedValue&) const = default;
};
void PrintTo(const NamedValue& v, std::ostream* out) {
    *out << v.name << '=';
    if (const auto* text = std::get_if<std::string>(&v.value))
        *out << '"' << *text << '"';
    else
        *out << std::get<DWORD>(v.value);
}

// Every value of a key, in the order the key keeps them.
std::vector<NamedValue> valuesOf(HKEY key) {
    std::vector<NamedValue> values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[512];
        DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            return values;
        if (type == REG_DWORD) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            values.push_back({name, number});
        } else {
            values.push_back({name, std::string(reinterpret_cast<const char*>(data))});
        }
    }
}

struct Listed {
    std::string board;
    std::string driver;
    std::vector<NamedValue> interfaceValues;
};

BOOL CALLBACK collect(LPSTR board, LPSTR driver, HKEY key, LPARAM user) {
    reinterpret_cast<std::vector<Listed>*>(user)->push_back({board, driver, valuesOf(key)});
    return TRUE;
}

std::vector<Listed> listBoards() {
    std::vector<Listed> listed;
    EXPECT_EQ(hxDaEnumBoardsEx(&collect, reinterpret_cast<LPARAM>(&listed)), HXNOERROR);
    return listed;
}

std::vector<std::string> names(const std::vector<Listed>& listed) {
    std::vector<std::string> out;
    for (const Listed& board : listed)
        out.push_back(board.board);
    return out;
}

// The name kept in the board database for a board of the MQ5120 description; empty when none.
std::string databaseName(DWORD key) {
    char path[160];
    std::snprintf(path, sizeof path, "%s\\MQ5120\\%08X", kDatabase, static_cast<unsigned>(key));
    HKEY entry = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &entry) != ERROR_SUCCESS)
        return {};
    char name[128] = {};
    DWORD size = sizeof name;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(entry, "MqHalcyonBoardName", nullptr, &type,
                                         reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(entry);
    return status == ERROR_SUCCESS && type == REG_SZ ? name : std::string();
}

std::vector<NamedValue> expectedValues(const char* name, const char* model, DWORD type,
                                       DWORD serial, DWORD instance) {
    return {{"MqHalcyonBoardName", std::string(name)},
            {"DriverName", std::string("MQ5120")},
            {"BoardModelName", std::string(model)},
            {"BoardType", type},
            {"SerialNumber", serial},
            {"DeviceInstanceNumber", instance}};
}

bool opens(const char* name) {
    HDEV hDev = 0;
    if (hxDaInitialize(name, &hDev) != HXNOERROR)
        return false;
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    return true;
}

using Mq5120Registration = Mq5120Test;

TEST_F(Mq5120Registration, BoardsAreRegisteredUnderTheirDefaultNamesInTheOrderSeen) {
    machine.emplace(std::vector<std::string>{"MQ5120 4 1", "MQ5120 12 0x2A"});
    const std::vector<Listed> listed = listBoards();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].board, "MQ5120(00)");
    EXPECT_EQ(listed[0].driver, "MQ5120");
    EXPECT_EQ(listed[0].interfaceValues, expectedValues("MQ5120(00)", "MQ5120-16-04-16", 4, 1, 0));
    EXPECT_EQ(listed[1].board, "MQ5120(01)");
    EXPECT_EQ(listed[1].driver, "MQ5120");
    EXPECT_EQ(listed[1].interfaceValues,
              expectedValues("MQ5120(01)", "MQ5120-32-04-16", 12, 0x2A, 1));
    EXPECT_EQ(databaseName(1), "MQ5120(00)");
    EXPECT_EQ(databaseName(0x2A), "MQ5120(01)");
    EXPECT_TRUE(opens("MQ5120(00)"));
    EXPECT_TRUE(opens("mq5120(01)"));
}

// The rename reaches the key the driver reads at its next start: the board keeps its new name,
// and a board seen for the first time later counts the boards known before it.
TEST_F(Mq5120Registration, ARenameSurvivesANewBoot) {
    machine.emplace(std::vector<std::string>{"MQ5120 4 1", "MQ5120 12 0x2A"});
    ASSERT_EQ(names(listBoards()), (std::vector<std::string>{"MQ5120(00)", "MQ5120(01)"}));
    ASSERT_EQ(hxDaModifyHalcyonBoardName("MQ5120(01)", "Rig B"), HXNOERROR);
    ASSERT_TRUE(machine->Reboot());

    std::vector<Listed> listed = listBoards();
    EXPECT_EQ(names(listed), (std::vector<std::string>{"MQ5120(00)", "Rig B"}));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].interfaceValues, expectedValues("Rig B", "MQ5120-32-04-16", 12, 0x2A, 1));
    EXPECT_EQ(databaseName(0x2A), "Rig B");
    EXPECT_TRUE(opens("rig b"));
    EXPECT_FALSE(opens("MQ5120(01)"));

    std::ofstream(machine->directory() / sim::kBoardListFileName, std::ios::app) << "MQ5120 4 7\n";
    ASSERT_TRUE(machine->Reboot());
    EXPECT_EQ(names(listBoards()), (std::vector<std::string>{"MQ5120(00)", "Rig B", "MQ5120(02)"}));
    EXPECT_EQ(databaseName(7), "MQ5120(02)");
}

}  // namespace
}  // namespace mq5120e2e
