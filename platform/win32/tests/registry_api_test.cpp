#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/key_table.h"
#include "registry/store.h"
#include "registry/testing.h"
#include "win32/registry.h"

namespace {

class RegistryApiTest : public ::testing::Test {
  protected:
    ~RegistryApiTest() override { win32::detail::CloseAllRegistryKeys(); }

    HKEY Create(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        return key;
    }
    LONG SetString(HKEY key, const char* name, const char* text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(std::strlen(text) + 1));
    }
    LONG SetDword(HKEY key, const char* name, DWORD value) {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }

    registry::ScopedMachine machine_;
};

TEST_F(RegistryApiTest, CreateReportsDispositionAndMakesIntermediateKeys) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Marquell\\Tuning", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\marquell\\TUNING", 0, nullptr, 0,
                              KEY_READ, nullptr, &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_NE(again, key);  // every opening is a handle of its own

    HKEY middle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\MARQUELL", 0, KEY_READ, &middle),
              ERROR_SUCCESS);
    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(middle, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Tuning");  // the case it was created with

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Absent", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_READ, &missing),
              ERROR_BAD_PATHNAME);
}

TEST_F(RegistryApiTest, QueryValueSizeProbeAndMoreData) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Board");
    ASSERT_EQ(SetString(key, "MqHalcyonBoardName", "MQ5120(00)"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "mqhalcyonboardname", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 11u);  // the terminator counts

    char small[5] = "zzzz";
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "MqHalcyonBoardName", nullptr, &type,
                               reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);

    char exact[11];
    size = sizeof exact;
    ASSERT_EQ(RegQueryValueExA(key, "MqHalcyonBoardName", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(exact), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(exact, "MQ5120(00)");

    // A string set without its terminator is stored with one.
    ASSERT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
              ERROR_SUCCESS);
    size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Bare", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);

    const char list[] = "one\0two\0";  // with the literal's own zero: the list terminator
    ASSERT_EQ(RegSetValueExA(key, "List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                             sizeof list),
              ERROR_SUCCESS);
    char listBack[16];
    size = sizeof listBack;
    ASSERT_EQ(
        RegQueryValueExA(key, "List", nullptr, &type, reinterpret_cast<BYTE*>(listBack), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    ASSERT_EQ(size, sizeof list);
    EXPECT_EQ(std::memcmp(listBack, list, sizeof list), 0);

    ASSERT_EQ(SetDword(key, "BoardType", 4), ERROR_SUCCESS);
    DWORD number = 0;
    size = sizeof number;
    ASSERT_EQ(
        RegQueryValueExA(key, "BOARDTYPE", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 4u);

    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "BoardType", nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                               nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApiTest, StringsAreStoredWideForTheKernelSide) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Wide");
    ASSERT_EQ(SetString(key, "Name", "AB"), ERROR_SUCCESS);
    auto store = registry::MachineStore();
    auto id = store->OpenKey(store->RootKey(registry::Root::kLocalMachine), "Software\\Wide");
    auto stored = store->QueryValue(id.value, "Name");
    EXPECT_EQ(stored.value.data, (std::vector<std::uint8_t>{'A', 0, 'B', 0, 0, 0}));

    // A value the kernel writes (wide, terminator included) reads back narrow.
    const std::vector<std::uint8_t> wide{'M', 0, 'Q', 0, 0, 0};
    ASSERT_EQ(store->SetValue(id.value, "DriverName", REG_SZ, wide), registry::Status::kOk);
    char text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(
        RegQueryValueExA(key, "DriverName", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(text, "MQ");
}

TEST_F(RegistryApiTest, EnumerationProtocolsEndWithNoMoreItems) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Enum");
    RegCloseKey(Create(key, "Second"));
    RegCloseKey(Create(key, "first"));
    ASSERT_EQ(SetString(key, "Zeta", "12345"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "Alpha", 9), ERROR_SUCCESS);

    char name[16];
    DWORD length = 6;  // "Second" needs 7 with its terminator
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        length = sizeof name;
        FILETIME written{};
        const LONG result =
            RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, &written);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(length, std::strlen(name));
        EXPECT_NE(written.dwHighDateTime, 0u);
        subkeys.push_back(name);
    }
    EXPECT_EQ(subkeys, (std::vector<std::string>{"first", "Second"}));

    // Values come in creation order; names and data follow the size protocols.
    DWORD type = 0;
    DWORD size = 0;
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Zeta");
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    BYTE data[4];
    size = sizeof data;
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    length = 4;  // "Zeta" needs 5
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = sizeof name;
    size = sizeof data;
    ASSERT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");
    EXPECT_EQ(type, REG_DWORD);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    DWORD subkeyCount = 0, maxSubkey = 0, valueCount = 0, maxValueName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, &maxSubkey, nullptr,
                               &valueCount, &maxValueName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeyCount, 2u);
    EXPECT_EQ(maxSubkey, 6u);
    EXPECT_EQ(valueCount, 2u);
    EXPECT_EQ(maxValueName, 5u);
    EXPECT_GE(maxData, 6u);  // at least the narrow size of "12345"
}

TEST_F(RegistryApiTest, AccessMasksLimitWhatAHandleMayDo) {
    HKEY writable = Create(HKEY_LOCAL_MACHINE, "Software\\Guarded");
    ASSERT_EQ(SetDword(writable, "Kept", 1), ERROR_SUCCESS);
    RegCloseKey(Create(writable, "Child"));

    for (REGSAM readOnly : {static_cast<REGSAM>(KEY_READ), static_cast<REGSAM>(GENERIC_READ)}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Guarded", 0, readOnly, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(SetDword(key, "New", 2), ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegDeleteValueA(key, "Kept"), ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegDeleteKeyA(key, "Child"), ERROR_ACCESS_DENIED);
        HKEY sub = nullptr;
        EXPECT_EQ(
            RegCreateKeyExA(key, "NewChild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
        // Opening an existing subkey is no write.
        EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(key, "Kept", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    }

    HKEY setOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Guarded", 0, KEY_SET_VALUE, &setOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(SetDword(setOnly, "New", 2), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(setOnly, "Kept", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(setOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
}

TEST_F(RegistryApiTest, DeleteKeyRefusesKeysWithSubkeys) {
    HKEY parent = Create(HKEY_LOCAL_MACHINE, "Software\\Doomed");
    RegCloseKey(Create(parent, "Leaf"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Doomed"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(parent, "LEAF"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "Leaf"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryApiTest, HandlesStaleClosedDeletedAndPredefined) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Handles");
    HKEY second = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Handles", 0, KEY_ALL_ACCESS, &second),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(second), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(second), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(second, "v", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegFlushKey(second), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(reinterpret_cast<HKEY>(0x1234), "v", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(HKEY_PERFORMANCE_DATA, "v", 1), ERROR_INVALID_HANDLE);

    // Deleted through another handle while open.
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Handles"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Predefined keys: closing them is harmless, a 32-bit copy still works, and the classes root
    // is a key below HKEY_LOCAL_MACHINE.
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    const auto narrow = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER));
    EXPECT_EQ(SetDword(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(narrow)), "User", 3),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "User", nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(HKEY_USERS, "User", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetDword(HKEY_CLASSES_ROOT, "Class", 5), ERROR_SUCCESS);
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_READ, &classes),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(classes, "Class", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_EQ(same, HKEY_LOCAL_MACHINE);
}

TEST_F(RegistryApiTest, ValuesSurviveANewStore) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Lasting");
    ASSERT_EQ(SetString(key, "Name", "kept"), ERROR_SUCCESS);
    RegCloseKey(key);
    registry::ResetMachineStore();  // the same MQ_MACHINE: the next call reopens its database

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Lasting", 0, KEY_READ, &again),
              ERROR_SUCCESS);
    char text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(
        RegQueryValueExA(again, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(text, "kept");
}

}  // namespace
