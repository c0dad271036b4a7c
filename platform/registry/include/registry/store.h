// The machine's registry store: one SQLite database shared by every process of the simulated
// machine and by the user-mode and kernel-mode registry calls.
//
// Keys form trees under fixed roots; a key is addressed by its id (as an open handle would hold
// it) and a path below it, components separated by '\'. Names of keys and values are Latin-1
// text, case-insensitive (every Latin-1 letter folds) and keep the case they were created with.
// Values carry a type and raw bytes. Every write is one transaction, durable when the call returns;
// reads always see the latest committed state of every process (no cache). All members are
// thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

// HKEY_CLASSES_ROOT is not a root of its own: callers map it onto LocalMachine\Software\Classes.
enum class Root { kLocalMachine, kCurrentUser, kUsers };

enum class Status {
    kOk,
    kNotFound,      // no such key or value
    kKeyDeleted,    // the key the call starts from no longer exists
    kHasSubkeys,    // a key with subkeys cannot be deleted
    kNoMoreItems,   // enumeration index past the end
    kInvalidName,   // empty path component, or a name longer than the limits below
    kAccessDenied,  // a root cannot be deleted
    kIoError,       // the database failed, or another connection's lock outlasted kBusyTimeout
    kCorrupt,       // the database file is damaged or is no database
};

template <class T>
struct Result {
    Status status = Status::kIoError;
    T value{};
    bool ok() const { return status == Status::kOk; }
};

struct KeyId {
    std::int64_t value = 0;
    friend bool operator==(KeyId, KeyId) = default;
};

struct OpenedKey {
    KeyId id;
    bool created = false;  // CreateKey: whether the last component was created by this call
};

struct Value {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct Subkey {
    std::string name;
    std::uint64_t lastWriteTime = 0;  // 100 ns units since 1601-01-01, as the platform counts
};

struct KeyInfo {
    std::uint32_t subkeyCount = 0;
    std::uint32_t maxSubkeyNameLength = 0;  // characters, no terminator
    std::uint32_t valueCount = 0;
    std::uint32_t maxValueNameLength = 0;  // characters, no terminator
    std::uint32_t maxValueDataLength = 0;  // bytes as stored
    std::uint64_t lastWriteTime = 0;
};

inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr const char* kDatabaseFileName = "registry.db";
// How long a call waits for another connection's lock before it fails: long enough for another
// process's write on a loaded machine (writes are short).
inline constexpr std::chrono::milliseconds kBusyTimeout{10000};

class Store {
  public:
    // Opens (creating if needed) the database file. Null on failure, at once for a damaged file,
    // with the reason in *error and its status (kCorrupt or kIoError) in *failure. Opening a
    // database that has its tables takes no write lock.
    static std::unique_ptr<Store> Open(const std::filesystem::path& databaseFile,
                                       std::string* error = nullptr, Status* failure = nullptr);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    KeyId RootKey(Root root) const;
    bool KeyExists(KeyId key);

    // An empty path names `base` itself.
    Result<KeyId> OpenKey(KeyId base, std::string_view path);
    // Creates every missing component.
    Result<OpenedKey> CreateKey(KeyId base, std::string_view path);
    // Deletes the key and its values; refused for a key with subkeys and for a root.
    Status DeleteKey(KeyId key);

    // Adds the value or replaces its type and data (keeping its name's case and its position).
    Status SetValue(KeyId key, std::string_view name, std::uint32_t type,
                    std::span<const std::uint8_t> data);
    Result<Value> QueryValue(KeyId key, std::string_view name);
    Status DeleteValue(KeyId key, std::string_view name);

    // Subkeys in case-insensitive order of their names (upper-case folding, as the platform
    // sorts), values in the order they were first set.
    Result<Subkey> EnumerateSubkey(KeyId key, std::uint32_t index);
    Result<Value> EnumerateValue(KeyId key, std::uint32_t index);
    Result<KeyInfo> QueryInfo(KeyId key);

    const std::filesystem::path& file() const { return file_; }

  private:
    struct Database;
    Store(std::filesystem::path file, std::unique_ptr<Database> db);

    std::filesystem::path file_;
    std::mutex mutex_;
    std::unique_ptr<Database> db_;
};

// The store of the machine in MachineDirectory(), opened at the first call and shared by every
// caller of the process. Null when the database cannot be opened, with the status in *failure
// (the next call tries again).
std::shared_ptr<Store> MachineStore(Status* failure = nullptr);
// Closes the process's store (callers holding it keep their reference) and forgets the machine
// directory, so that the next MachineStore() opens the machine that MQ_MACHINE names then.
void ResetMachineStore();

}  // namespace registry
