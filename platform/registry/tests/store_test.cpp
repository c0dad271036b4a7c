#include "registry/store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <thread>
#include <vector>

#include "registry/constants.h"
#include "registry/testing.h"

namespace registry {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> Dword(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

class StoreTest : public ::testing::Test {
  protected:
    std::unique_ptr<Store> OpenStore() {
        std::string error;
        auto store = Store::Open(machine_.directory() / kDatabaseFileName, &error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }
    KeyId Create(Store& store, std::string_view path) {
        auto key = store.CreateKey(store.RootKey(Root::kLocalMachine), path);
        EXPECT_EQ(key.status, Status::kOk) << path;
        return key.value.id;
    }

    ScopedMachine machine_;
};

TEST_F(StoreTest, ADatabaseFromBeforeLatinFoldingIsRefoldedWhenOpened) {
    {
        auto store = OpenStore();
        const KeyId key = Create(*store, "Software\\\xE9t\xE9");
        ASSERT_EQ(store->SetValue(key, "\xE0", REG_DWORD, Dword(3)), Status::kOk);
    }
    // Put it back as the older layout kept it: only ASCII letters folded.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((machine_.directory() / kDatabaseFileName).c_str(), &db), SQLITE_OK);
    for (const char* sql : {"UPDATE keys SET folded='\xE9T\xE9' WHERE name='\xE9t\xE9'",
                            "UPDATE vals SET folded='\xE0'", "PRAGMA user_version=0"})
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);

    auto store = OpenStore();
    auto key = store->OpenKey(store->RootKey(Root::kLocalMachine), "SOFTWARE\\\xC9T\xC9");
    ASSERT_EQ(key.status, Status::kOk);
    auto value = store->QueryValue(key.value, "\xC0");
    ASSERT_EQ(value.status, Status::kOk);
    EXPECT_EQ(value.value.name, "\xE0");
    EXPECT_EQ(value.value.data, Dword(3));
}

TEST_F(StoreTest, ValuesSurviveReopen) {
    {
        auto store = OpenStore();
        const KeyId key = Create(*store, "Software\\Marquell\\Settings");
        ASSERT_EQ(store->SetValue(key, "Name", REG_SZ, Bytes("A\0")), Status::kOk);
        ASSERT_EQ(store->SetValue(key, "Count", REG_DWORD, Dword(42)), Status::kOk);
        ASSERT_EQ(store->SetValue(key, "", REG_BINARY, {}), Status::kOk);
        ASSERT_EQ(store->SetValue(store->RootKey(Root::kCurrentUser), "User", REG_DWORD, Dword(7)),
                  Status::kOk);
    }
    auto store = OpenStore();
    auto key = store->OpenKey(store->RootKey(Root::kLocalMachine), "Software\\Marquell\\Settings");
    ASSERT_EQ(key.status, Status::kOk);
    auto name = store->QueryValue(key.value, "Name");
    ASSERT_EQ(name.status, Status::kOk);
    EXPECT_EQ(name.value.type, REG_SZ);
    EXPECT_EQ(name.value.data, Bytes("A\0"));
    auto count = store->QueryValue(key.value, "Count");
    EXPECT_EQ(count.value.type, REG_DWORD);
    EXPECT_EQ(count.value.data, Dword(42));
    auto empty = store->QueryValue(key.value, "");
    ASSERT_EQ(empty.status, Status::kOk);
    EXPECT_EQ(empty.value.type, REG_BINARY);
    EXPECT_TRUE(empty.value.data.empty());
    // Roots are separate trees.
    EXPECT_EQ(store->QueryValue(store->RootKey(Root::kCurrentUser), "User").status, Status::kOk);
    EXPECT_EQ(store->QueryValue(store->RootKey(Root::kLocalMachine), "User").status,
              Status::kNotFound);
}

TEST_F(StoreTest, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    auto store = OpenStore();
    auto first = store->CreateKey(store->RootKey(Root::kLocalMachine), "Software\\MqBoards");
    ASSERT_TRUE(first.value.created);
    auto again = store->CreateKey(store->RootKey(Root::kLocalMachine), "SOFTWARE\\mqboards");
    ASSERT_EQ(again.status, Status::kOk);
    EXPECT_FALSE(again.value.created);
    EXPECT_EQ(again.value.id, first.value.id);
    EXPECT_EQ(store->OpenKey(store->RootKey(Root::kLocalMachine), "software\\MQBOARDS").value,
              first.value.id);

    const KeyId key = first.value.id;
    ASSERT_EQ(store->SetValue(key, "BoardName", REG_DWORD, Dword(1)), Status::kOk);
    ASSERT_EQ(store->SetValue(key, "Other", REG_DWORD, Dword(2)), Status::kOk);
    ASSERT_EQ(store->SetValue(key, "BOARDNAME", REG_SZ, Bytes("x")), Status::kOk);
    auto value = store->QueryValue(key, "boardname");
    ASSERT_EQ(value.status, Status::kOk);
    EXPECT_EQ(value.value.name, "BoardName");
    EXPECT_EQ(value.value.type, REG_SZ);
    // Replacing a value keeps its place in the enumeration.
    EXPECT_EQ(store->EnumerateValue(key, 0).value.name, "BoardName");
    EXPECT_EQ(store->EnumerateValue(key, 1).value.name, "Other");
    EXPECT_EQ(store->EnumerateValue(key, 2).status, Status::kNoMoreItems);

    auto parent = store->OpenKey(store->RootKey(Root::kLocalMachine), "SOFTWARE");
    EXPECT_EQ(store->EnumerateSubkey(parent.value, 0).value.name, "MqBoards");
    EXPECT_EQ(store->DeleteValue(key, "OTHER"), Status::kOk);
    EXPECT_EQ(store->DeleteValue(key, "Other"), Status::kNotFound);
}

TEST_F(StoreTest, SubkeysEnumerateInFoldedOrderThenEnd) {
    auto store = OpenStore();
    const KeyId key = Create(*store, "List");
    for (const char* name : {"b", "_x", "A", "C"})
        Create(*store, std::string("List\\") + name);
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        auto subkey = store->EnumerateSubkey(key, i);
        if (subkey.status == Status::kNoMoreItems)
            break;
        ASSERT_EQ(subkey.status, Status::kOk);
        EXPECT_GT(subkey.value.lastWriteTime, 0u);
        names.push_back(subkey.value.name);
    }
    // Upper-case folding sorts '_' (0x5F) after the letters.
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "C", "_x"}));
}

TEST_F(StoreTest, QueryInfoCountsAndLongestNames) {
    auto store = OpenStore();
    const KeyId key = Create(*store, "Info");
    Create(*store, "Info\\Short");
    Create(*store, "Info\\ALongerName");
    ASSERT_EQ(store->SetValue(key, "v", REG_BINARY, Bytes("123456789")), Status::kOk);
    ASSERT_EQ(store->SetValue(key, "LongValueName", REG_DWORD, Dword(1)), Status::kOk);
    auto info = store->QueryInfo(key);
    ASSERT_EQ(info.status, Status::kOk);
    EXPECT_EQ(info.value.subkeyCount, 2u);
    EXPECT_EQ(info.value.maxSubkeyNameLength, 11u);
    EXPECT_EQ(info.value.valueCount, 2u);
    EXPECT_EQ(info.value.maxValueNameLength, 13u);
    EXPECT_EQ(info.value.maxValueDataLength, 9u);

    auto empty = store->QueryInfo(Create(*store, "Info\\Short"));
    ASSERT_EQ(empty.status, Status::kOk);
    EXPECT_EQ(empty.value.subkeyCount + empty.value.valueCount + empty.value.maxValueDataLength,
              0u);
}

TEST_F(StoreTest, DeleteKeyRefusesSubkeysAndRootsAndInvalidatesItsId) {
    auto store = OpenStore();
    const KeyId parent = Create(*store, "Tree");
    const KeyId child = Create(*store, "Tree\\Leaf");
    ASSERT_EQ(store->SetValue(child, "v", REG_DWORD, Dword(1)), Status::kOk);

    EXPECT_EQ(store->DeleteKey(parent), Status::kHasSubkeys);
    EXPECT_EQ(store->DeleteKey(store->RootKey(Root::kLocalMachine)), Status::kAccessDenied);
    ASSERT_EQ(store->DeleteKey(child), Status::kOk);
    EXPECT_EQ(store->DeleteKey(child), Status::kKeyDeleted);

    // Every call on the deleted key's id says so, and a new key of the same name gets a new id.
    EXPECT_EQ(store->QueryValue(child, "v").status, Status::kKeyDeleted);
    EXPECT_EQ(store->SetValue(child, "v", REG_DWORD, Dword(1)), Status::kKeyDeleted);
    EXPECT_EQ(store->EnumerateValue(child, 0).status, Status::kKeyDeleted);
    EXPECT_EQ(store->QueryInfo(child).status, Status::kKeyDeleted);
    EXPECT_EQ(store->CreateKey(child, "x").status, Status::kKeyDeleted);
    const KeyId recreated = Create(*store, "Tree\\Leaf");
    EXPECT_NE(recreated, child);
    EXPECT_EQ(store->QueryValue(recreated, "v").status, Status::kNotFound);
    EXPECT_EQ(store->DeleteKey(recreated), Status::kOk);
    EXPECT_EQ(store->DeleteKey(parent), Status::kOk);
    EXPECT_EQ(store->QueryInfo(store->RootKey(Root::kLocalMachine)).value.subkeyCount, 0u);
}

TEST_F(StoreTest, RefusesEmptyPathComponents) {
    auto store = OpenStore();
    const KeyId root = store->RootKey(Root::kLocalMachine);
    for (const char* path : {"\\Software", "Software\\", "Software\\\\Classes"}) {
        EXPECT_EQ(store->CreateKey(root, path).status, Status::kInvalidName) << path;
        EXPECT_EQ(store->OpenKey(root, path).status, Status::kInvalidName) << path;
    }
    EXPECT_EQ(store->CreateKey(root, std::string(kMaxKeyNameLength + 1, 'k')).status,
              Status::kInvalidName);
    EXPECT_EQ(store->OpenKey(root, "").value, root);
    EXPECT_EQ(store->OpenKey(root, "Missing\\Key").status, Status::kNotFound);
}

TEST_F(StoreTest, ConcurrentWritersInOneProcessLoseNothing) {
    auto store = OpenStore();
    constexpr int kThreads = 4;
    constexpr int kValues = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto key = store->CreateKey(store->RootKey(Root::kLocalMachine), "Shared");
            for (int i = 0; i < kValues; ++i) {
                store->SetValue(key.value.id, "t" + std::to_string(t) + "v" + std::to_string(i),
                                REG_DWORD, Dword(static_cast<std::uint32_t>(i)));
                store->QueryInfo(key.value.id);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    auto key = store->OpenKey(store->RootKey(Root::kLocalMachine), "Shared");
    EXPECT_EQ(store->QueryInfo(key.value).value.valueCount,
              static_cast<std::uint32_t>(kThreads * kValues));
}

TEST_F(StoreTest, MachineStoreFollowsTheMachineDirectory) {
    auto store = MachineStore();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->file(), machine_.directory() / kDatabaseFileName);
    EXPECT_EQ(MachineStore(), store);
    {
        ScopedMachine other;
        auto otherStore = MachineStore();
        ASSERT_NE(otherStore, nullptr);
        EXPECT_EQ(otherStore->file(), other.directory() / kDatabaseFileName);
    }
    EXPECT_EQ(MachineStore()->file(), machine_.directory() / kDatabaseFileName);
}

}  // namespace
}  // namespace registry
