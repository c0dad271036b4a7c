// A standard user reads the machine's keys but cannot write them: openings that ask for a write
// right are refused, MAXIMUM_ALLOWED gives read access, the predefined machine handle does not
// write, and the user's own keys stay writable. An administrator writes everywhere.
#include <gtest/gtest.h>

#include <cstring>

#include "registry/key_table.h"
#include "registry/testing.h"
#include "win32/registry.h"

namespace {

constexpr char kBoardKey[] = "System\\CurrentControlSet\\Control\\MqTest\\Board";

class StandardUserTest : public ::testing::Test {
  protected:
    StandardUserTest() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBoardKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(SetName(key, "first"), ERROR_SUCCESS);
        RegCloseKey(key);
        win32::testing::SetAdministrator(false);
    }
    ~StandardUserTest() override {
        win32::testing::SetAdministrator(true);
        win32::detail::CloseAllRegistryKeys();
    }
    static LONG SetName(HKEY key, const char* name) {
        return RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                              static_cast<DWORD>(std::strlen(name) + 1));
    }

    registry::ScopedMachine machine_;
};

TEST_F(StandardUserTest, MachineKeysOpenForReadingOnly) {
    EXPECT_FALSE(win32::IsAdministrator());
    HKEY key = nullptr;
    for (REGSAM write : {static_cast<REGSAM>(KEY_ALL_ACCESS), static_cast<REGSAM>(KEY_SET_VALUE),
                         static_cast<REGSAM>(KEY_WRITE), static_cast<REGSAM>(GENERIC_WRITE)}) {
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBoardKey, 0, write, &key), ERROR_ACCESS_DENIED)
            << write;
        EXPECT_EQ(key, nullptr);
    }
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBoardKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[16] = "";
    DWORD size = sizeof name;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "first");
    EXPECT_EQ(SetName(key, "second"), ERROR_ACCESS_DENIED);

    // A key opened from a read-only one for all access is refused too; MAXIMUM_ALLOWED reads.
    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_ALL_ACCESS, &again), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kBoardKey, &again), ERROR_SUCCESS);
    EXPECT_EQ(SetName(again, "second"), ERROR_ACCESS_DENIED);
    RegCloseKey(again);
    RegCloseKey(key);

    // Neither the predefined handle nor a new key below it writes.
    EXPECT_EQ(SetName(HKEY_LOCAL_MACHINE, "second"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\MqTestNew", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(StandardUserTest, TheUsersKeysStayWritableAndAnAdministratorWritesTheMachines) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MqTest", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(SetName(key, "mine"), ERROR_SUCCESS);
    RegCloseKey(key);

    win32::testing::SetAdministrator(true);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBoardKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetName(key, "second"), ERROR_SUCCESS);
    RegCloseKey(key);
}

}  // namespace
