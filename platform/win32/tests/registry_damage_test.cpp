// A registry database that is damaged, or that another connection keeps locked, fails the calls
// at once with the platform's registry errors: nothing retries for long, nothing hangs.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "registry/key_table.h"
#include "registry/store.h"
#include "registry/testing.h"
#include "win32/registry.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kShortBusyTimeout{200};
// Far above the bound: a damaged file must fail at once, not be waited for as a busy one is.
constexpr milliseconds kLongBusyTimeout{30000};
// Far below the default busy timeout, far above what a failing call needs.
constexpr milliseconds kBound{3000};

struct RegistryDamage : ::testing::Test {
    ~RegistryDamage() override {
        win32::detail::CloseAllRegistryKeys();
        if (holder_ != nullptr)
            sqlite3_close(holder_);
    }
    std::filesystem::path Database() const {
        return machine_->directory() / registry::kDatabaseFileName;
    }
    // A database with a key holding enough values to span many pages, closed again.
    void Populate() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Damage", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::string text(900, 'v');
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(RegSetValueExA(key, ("Value" + std::to_string(i)).c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1)),
                      ERROR_SUCCESS);
        RegCloseKey(key);
        win32::detail::CloseAllRegistryKeys();
        registry::ResetMachineStore();  // the last connection folds the log into the file
    }
    void HoldWriteLock() {
        ASSERT_EQ(sqlite3_open(Database().c_str(), &holder_), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }

    // A fresh machine for the next case.
    void Restart() {
        if (holder_ != nullptr)
            sqlite3_close(holder_);
        holder_ = nullptr;
        win32::detail::CloseAllRegistryKeys();
        machine_.reset();
        machine_.emplace();
        registry::SetBusyTimeoutForTesting(kShortBusyTimeout);
    }

    std::optional<registry::ScopedMachine> machine_;
    sqlite3* holder_ = nullptr;
};

LONG CreateKey() {
    HKEY key = nullptr;
    const LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Damage\\New", 0, nullptr, 0,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key != nullptr)
        RegCloseKey(key);
    return error;
}

LONG QueryValue() {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Damage", 0, KEY_READ, &key);
    if (error != ERROR_SUCCESS)
        return error;
    char data[1024];
    DWORD size = sizeof data;
    error =
        RegQueryValueExA(key, "Value63", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return error;
}

TEST_F(RegistryDamage, DamagedOrLockedDatabasesFailAtOnceWithTheRegistryErrors) {
    struct Case {
        const char* name;
        std::function<void(RegistryDamage&)> prepare;
        LONG createKey;   // a write
        LONG queryValue;  // a read
        milliseconds busyTimeout;
    };
    const Case cases[] = {
        {"not a database",
         [](RegistryDamage& t) { std::ofstream(t.Database()) << std::string(4096, 'x'); },
         ERROR_REGISTRY_CORRUPT, ERROR_REGISTRY_CORRUPT, kLongBusyTimeout},
        {"truncated",
         [](RegistryDamage& t) {
             t.Populate();
             std::filesystem::resize_file(t.Database(),
                                          std::filesystem::file_size(t.Database()) / 2);
         },
         ERROR_REGISTRY_CORRUPT, ERROR_REGISTRY_CORRUPT, kLongBusyTimeout},
        {"write lock held by another connection",
         [](RegistryDamage& t) {
             t.Populate();
             t.HoldWriteLock();
         },
         ERROR_REGISTRY_IO_FAILED, ERROR_SUCCESS, kShortBusyTimeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        registry::SetBusyTimeoutForTesting(c.busyTimeout);
        c.prepare(*this);
        const std::pair<LONG (*)(), LONG> calls[] = {{CreateKey, c.createKey},
                                                     {QueryValue, c.queryValue}};
        for (const auto& [call, expected] : calls) {
            for (int attempt = 0; attempt < 2; ++attempt) {  // every call, not only the first
                const auto start = std::chrono::steady_clock::now();
                EXPECT_EQ(call(), expected);
                EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
            }
        }
    }
}

}  // namespace
