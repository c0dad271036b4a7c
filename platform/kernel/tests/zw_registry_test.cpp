// Kernel registry calls on a fresh machine: names, dispositions, the information records' size
// rules, enumeration, and the text shared with the user-mode side of the store.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "kernel/testing.h"
#include "kernel/wide.h"
#include "kernel/zw.h"
#include "registry/encoding.h"
#include "registry/store.h"
#include "registry/testing.h"

namespace {

struct Name {
    std::u16string text;
    UNICODE_STRING string;
    explicit Name(std::u16string value) : text(std::move(value)) {
        string = {static_cast<USHORT>(text.size() * sizeof(WCHAR)),
                  static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
    }
};

struct ZwRegistry : ::testing::Test {
    registry::ScopedMachine machine;
    void TearDown() override { EXPECT_EQ(kernel::testing::OpenKeyHandles(), 0u); }

    NTSTATUS Create(const std::u16string& path, HANDLE* key, ULONG* disposition = nullptr,
                    HANDLE root = nullptr) {
        Name name(path);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name.string,
                                   OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
        return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, disposition);
    }
    NTSTATUS Open(const std::u16string& path, HANDLE* key) {
        Name name(path);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name.string, OBJ_CASE_INSENSITIVE, nullptr,
                                   nullptr);
        return ZwOpenKey(key, KEY_READ, &attributes);
    }
    NTSTATUS SetString(HANDLE key, const std::u16string& value, const std::u16string& text) {
        Name name(value);
        return ZwSetValueKey(key, &name.string, 0, REG_SZ, const_cast<char16_t*>(text.c_str()),
                             static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR)));
    }
    NTSTATUS SetDword(HANDLE key, const std::u16string& value, ULONG number) {
        Name name(value);
        return ZwSetValueKey(key, &name.string, 0, REG_DWORD, &number, sizeof number);
    }
};

constexpr std::size_t kPartialHead = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);

TEST_F(ZwRegistry, NamesAndDispositions) {
    HANDLE key = nullptr;
    ULONG disposition = 0;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\Software\\Test\\Board", &key, &disposition),
              STATUS_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(ZwClose(key), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(key), STATUS_INVALID_HANDLE);  // closed once only

    ASSERT_EQ(Create(u"\\REGISTRY\\MACHINE\\software\\TEST\\board", &key, &disposition),
              STATUS_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    HANDLE child = nullptr;
    ASSERT_EQ(Create(u"Sub", &child, &disposition, key), STATUS_SUCCESS);  // relative to a key
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ZwClose(child);
    ZwClose(key);

    struct Case {
        const char16_t* path;
        NTSTATUS open;
    } cases[] = {
        {u"\\Registry\\Machine\\Software\\Test\\Board\\Sub", STATUS_SUCCESS},
        {u"\\registry\\machine\\SOFTWARE\\test\\BOARD", STATUS_SUCCESS},
        {u"\\Registry\\Machine\\Software\\Test\\Missing", STATUS_OBJECT_NAME_NOT_FOUND},
        {u"\\Registry\\Machine\\Software\\\\Test", STATUS_OBJECT_NAME_INVALID},
        {u"\\Registry\\Machine\\Software\\Test\\", STATUS_OBJECT_NAME_INVALID},
        {u"\\Registry\\Nowhere\\Software", STATUS_OBJECT_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        HANDLE opened = nullptr;
        EXPECT_EQ(Open(c.path, &opened), c.open) << kernel::NarrowFromWide(c.path);
        if (NT_SUCCESS(c.open)) {
            ZwClose(opened);
        } else {
            EXPECT_EQ(opened, nullptr);
        }
    }
    HANDLE refused = nullptr;
    EXPECT_EQ(Create(u"\\Registry\\Machine\\A\\\\B", &refused), STATUS_OBJECT_NAME_INVALID);
}

TEST_F(ZwRegistry, PartialValueSizeRulesAndSharedText) {
    HANDLE key = nullptr;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\Software\\Test", &key), STATUS_SUCCESS);
    ASSERT_EQ(SetString(key, u"MqHalcyonBoardName", u"MQ5120(00)"), STATUS_SUCCESS);
    ASSERT_EQ(SetDword(key, u"BoardType", 4), STATUS_SUCCESS);

    Name value(u"mqhalcyonboardname");  // names are case-insensitive
    const ULONG dataBytes = 11 * sizeof(WCHAR);
    const ULONG needed = static_cast<ULONG>(kPartialHead + dataBytes);
    struct Case {
        ULONG length;
        NTSTATUS status;
        bool headFilled;
    } cases[] = {
        {0, STATUS_BUFFER_TOO_SMALL, false},
        {static_cast<ULONG>(kPartialHead - 1), STATUS_BUFFER_TOO_SMALL, false},
        {static_cast<ULONG>(kPartialHead), STATUS_BUFFER_OVERFLOW, true},
        {needed - 1, STATUS_BUFFER_OVERFLOW, true},
        {needed, STATUS_SUCCESS, true},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(needed + 8, 0xEE);
        ULONG result = 0;
        EXPECT_EQ(ZwQueryValueKey(key, &value.string, KeyValuePartialInformation, buffer.data(),
                                  c.length, &result),
                  c.status)
            << c.length;
        EXPECT_EQ(result, needed);
        auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
        if (c.headFilled) {
            EXPECT_EQ(info->Type, REG_SZ);
            EXPECT_EQ(info->DataLength, dataBytes);
        }
        if (c.status == STATUS_SUCCESS) {
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(info->Data)), u"MQ5120(00)");
        }
        EXPECT_EQ(buffer[c.length], 0xEE) << "written past the given length";
    }

    Name type(u"BoardType");
    std::vector<std::uint8_t> buffer(kPartialHead + 4);
    ULONG result = 0;
    ASSERT_EQ(ZwQueryValueKey(key, &type.string, KeyValuePartialInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &result),
              STATUS_SUCCESS);
    auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
    EXPECT_EQ(info->Type, REG_DWORD);
    EXPECT_EQ(*reinterpret_cast<const ULONG*>(info->Data), 4u);

    Name missing(u"Missing");
    EXPECT_EQ(ZwQueryValueKey(key, &missing.string, KeyValuePartialInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &result),
              STATUS_OBJECT_NAME_NOT_FOUND);
    ZwClose(key);

    // The user-mode side reads the same text from the store.
    auto store = registry::MachineStore();
    auto opened = store->OpenKey(store->RootKey(registry::Root::kLocalMachine), "SOFTWARE\\test");
    ASSERT_TRUE(opened.ok());
    auto stored = store->QueryValue(opened.value, "MqHalcyonBoardName");
    ASSERT_TRUE(stored.ok());
    auto narrow = registry::NarrowDataFromWide(stored.value.data);
    EXPECT_EQ(std::string(narrow.begin(), narrow.end()), std::string("MQ5120(00)\0", 11));
}

// Wide text has the platform's sizes: two bytes a character in counted strings, value data and the
// key's longest-name and longest-data figures, whatever the host's own wide character is.
TEST_F(ZwRegistry, WideTextHasThePlatformsByteSizes) {
    constexpr ULONG kBoardNameBytes = 22;  // u"MQ5120(00)" and its terminator
    constexpr ULONG kValueNameBytes = 36;  // u"MqHalcyonBoardName"
    Name value(u"MqHalcyonBoardName");
    EXPECT_EQ(value.string.Length, kValueNameBytes);
    HANDLE key = nullptr;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\Software\\Sizes", &key), STATUS_SUCCESS);
    ASSERT_EQ(SetString(key, u"MqHalcyonBoardName", u"MQ5120(00)"), STATUS_SUCCESS);

    std::vector<std::uint8_t> buffer(kPartialHead + kBoardNameBytes);
    ULONG result = 0;
    ASSERT_EQ(ZwQueryValueKey(key, &value.string, KeyValuePartialInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &result),
              STATUS_SUCCESS);
    EXPECT_EQ(reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data())->DataLength,
              kBoardNameBytes);
    KEY_FULL_INFORMATION full{};
    ASSERT_EQ(ZwQueryKey(key, KeyFullInformation, &full, sizeof full, &result), STATUS_SUCCESS);
    EXPECT_EQ(full.MaxValueNameLen, kValueNameBytes);
    EXPECT_EQ(full.MaxValueDataLen, kBoardNameBytes);
    ZwClose(key);
}

TEST_F(ZwRegistry, EnumerationAndKeyInformation) {
    HANDLE parent = nullptr;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\System\\Db", &parent), STATUS_SUCCESS);
    for (const char16_t* name : {u"beta", u"Alpha", u"GAMMA"}) {
        HANDLE child = nullptr;
        ASSERT_EQ(Create(name, &child, nullptr, parent), STATUS_SUCCESS);
        ZwClose(child);
    }
    ASSERT_EQ(SetDword(parent, u"Count", 3), STATUS_SUCCESS);

    const char16_t* expected[] = {u"Alpha", u"beta", u"GAMMA"};
    for (ULONG index = 0; index < 3; ++index) {
        std::vector<std::uint8_t> buffer(256);
        ULONG result = 0;
        ASSERT_EQ(ZwEnumerateKey(parent, index, KeyNodeInformation, buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &result),
                  STATUS_SUCCESS);
        auto* node = reinterpret_cast<KEY_NODE_INFORMATION*>(buffer.data());
        EXPECT_EQ(std::u16string(node->Name, node->NameLength / sizeof(WCHAR)), expected[index]);
        EXPECT_EQ(result, offsetof(KEY_NODE_INFORMATION, Name) + node->NameLength);
    }
    std::vector<std::uint8_t> small(offsetof(KEY_NODE_INFORMATION, Name));
    ULONG result = 0;
    EXPECT_EQ(ZwEnumerateKey(parent, 0, KeyNodeInformation, small.data(),
                             static_cast<ULONG>(small.size()), &result),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(result, offsetof(KEY_NODE_INFORMATION, Name) + 5 * sizeof(WCHAR));
    EXPECT_EQ(ZwEnumerateKey(parent, 3, KeyNodeInformation, small.data(),
                             static_cast<ULONG>(small.size()), &result),
              STATUS_NO_MORE_ENTRIES);

    KEY_FULL_INFORMATION full{};
    ASSERT_EQ(ZwQueryKey(parent, KeyFullInformation, &full, sizeof full, &result), STATUS_SUCCESS);
    EXPECT_EQ(full.SubKeys, 3u);
    EXPECT_EQ(full.Values, 1u);
    EXPECT_EQ(full.MaxNameLen, 5 * sizeof(WCHAR));
    EXPECT_EQ(ZwQueryKey(parent, KeyFullInformation, &full, 8, &result), STATUS_BUFFER_TOO_SMALL);
    ZwClose(parent);
    EXPECT_EQ(ZwQueryKey(parent, KeyFullInformation, &full, sizeof full, &result),
              STATUS_INVALID_HANDLE);
}

TEST_F(ZwRegistry, DeleteAndRelativeNames) {
    HANDLE parent = nullptr, child = nullptr;
    ASSERT_EQ(Create(u"\\Registry\\Machine\\Hardware\\Map", &parent), STATUS_SUCCESS);
    ASSERT_EQ(Create(u"Entry", &child, nullptr, parent), STATUS_SUCCESS);
    ASSERT_EQ(SetDword(child, u"Value", 1), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_CANNOT_DELETE);  // it has a subkey
    ASSERT_EQ(ZwDeleteKey(child), STATUS_SUCCESS);
    EXPECT_EQ(SetDword(child, u"Value", 2), STATUS_KEY_DELETED);
    ULONG result = 0;
    KEY_FULL_INFORMATION full{};
    ASSERT_EQ(ZwQueryKey(parent, KeyFullInformation, &full, sizeof full, &result), STATUS_SUCCESS);
    EXPECT_EQ(full.SubKeys, 0u);
    ZwClose(child);

    for (const char16_t* bad : {u"\\Sub", u"Sub\\", u"A\\\\B"}) {
        HANDLE refused = nullptr;
        EXPECT_EQ(Create(bad, &refused, nullptr, parent), STATUS_OBJECT_NAME_INVALID);
    }
    HANDLE nested = nullptr;
    ASSERT_EQ(Create(u"A\\B", &nested, nullptr, parent), STATUS_SUCCESS);
    ZwClose(nested);
    HANDLE opened = nullptr;
    ASSERT_EQ(Open(u"\\Registry\\Machine\\HARDWARE\\map\\a\\b", &opened), STATUS_SUCCESS);
    ZwClose(opened);
    ZwClose(parent);
    EXPECT_EQ(Create(u"Sub", &nested, nullptr, parent), STATUS_INVALID_HANDLE);
}

}  // namespace
