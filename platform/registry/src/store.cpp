#include "registry/store.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <iterator>
#include <optional>
#include <thread>

#include "names.h"
#include "registry/machine.h"
#include "sqlite.h"

namespace registry {
namespace {

using detail::FoldName;
using detail::SqlError;
using detail::Transaction;
using detail::Use;

// How long a call waits for another connection's lock; tests may shorten it.
std::atomic<int> g_busyTimeoutMs{static_cast<int>(kBusyTimeout.count())};

constexpr const char* kRootNames[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS"};

// Keys have parent 0 at the roots. AUTOINCREMENT keeps ids of deleted keys from being reused, so
// that a handle to a deleted key never finds a newer key in its place.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    written INTEGER NOT NULL,
    UNIQUE(parent, folded));
CREATE TABLE IF NOT EXISTS vals(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
)sql";

std::uint64_t Now() {
    // 100 ns intervals between 1601-01-01 and the Unix epoch.
    constexpr std::uint64_t kEpochOffset = 116444736000000000ull;
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kEpochOffset +
           static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100);
}

Status Failed(const SqlError& failure) {
    return failure.damaged() ? Status::kCorrupt : Status::kIoError;
}

std::uint32_t Count(std::int64_t value) {
    return static_cast<std::uint32_t>(value);
}

// A fresh database is switched to WAL by whichever process gets there first; the switch needs the
// database to itself, which the busy handler does not always wait for.
void EnableWriteAheadLog(sqlite3* db) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(g_busyTimeoutMs.load());
    while (true) {
        try {
            detail::Statement pragma(db, "PRAGMA journal_mode=WAL");
            Use use(pragma);
            if (use.Step() && use.Text(0) == "wal")
                return;
            throw SqlError(db, "journal_mode WAL refused");
        } catch (const SqlError& failure) {
            if (!failure.busy() || std::chrono::steady_clock::now() > deadline)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

// Whether the database already has its tables and roots, so that opening it takes no write lock
// (another process holding one then delays only writes).
bool LaidOut(sqlite3* db) {
    detail::Statement tables(
        db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('keys','vals')");
    {
        Use use(tables);
        if (!use.Step() || use.Integer(0) != 2)
            return false;
    }
    detail::Statement roots(db, "SELECT count(*) FROM keys WHERE parent=0");
    Use use(roots);
    return use.Step() && use.Integer(0) == static_cast<std::int64_t>(std::size(kRootNames));
}

// The layout's version: 1 folds the Latin-1 letters of names (0 folded ASCII letters only).
constexpr int kLayoutVersion = 1;

// fold_name(text) in SQL, for bringing an older layout's folded names up to date.
void FoldNameInSql(sqlite3_context* context, int, sqlite3_value** arguments) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    const int bytes = sqlite3_value_bytes(arguments[0]);
    const std::string folded = FoldName(std::string_view(text != nullptr ? text : "", bytes));
    sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

void MarkLayoutVersion(sqlite3* db) {
    detail::Execute(db, ("PRAGMA user_version=" + std::to_string(kLayoutVersion)).c_str());
}

int LayoutVersion(sqlite3* db) {
    detail::Statement version(db, "PRAGMA user_version");
    Use use(version);
    return use.Step() ? static_cast<int>(use.Integer(0)) : 0;
}

// Refolds the names of a database laid out before the current folding (two names that now fold
// alike keep their old folded form, so that neither is lost).
void Refold(sqlite3* db) {
    if (sqlite3_create_function_v2(db, "fold_name", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   &FoldNameInSql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SqlError(db, "fold_name");
    Transaction transaction(db, Transaction::kWrite);
    detail::Execute(
        db, "UPDATE OR IGNORE keys SET folded=fold_name(name) WHERE folded<>fold_name(name)");
    detail::Execute(
        db, "UPDATE OR IGNORE vals SET folded=fold_name(name) WHERE folded<>fold_name(name)");
    MarkLayoutVersion(db);
    transaction.Commit();
}

void LayOut(sqlite3* db) {
    Transaction transaction(db, Transaction::kWrite);
    detail::Execute(db, kSchema);
    MarkLayoutVersion(db);
    detail::Statement addRoot(
        db, "INSERT OR IGNORE INTO keys(parent,name,folded,written) VALUES(0,?1,?2,?3)");
    for (const char* name : kRootNames) {
        Use use(addRoot);
        use.Bind(name).Bind(FoldName(name)).Bind(static_cast<std::int64_t>(Now())).Step();
    }
    transaction.Commit();
}

}  // namespace

void SetBusyTimeoutForTesting(std::chrono::milliseconds timeout) {
    g_busyTimeoutMs.store(static_cast<int>(timeout.count()));
}

struct Store::Database {
    sqlite3* db = nullptr;
    KeyId roots[3];

    explicit Database(sqlite3* handle) : db(handle) {}
    ~Database() { Close(); }

    struct Statements {
        explicit Statements(sqlite3* db)
            : findChild(db, "SELECT id FROM keys WHERE parent=?1 AND folded=?2"),
              insertKey(db, "INSERT INTO keys(parent,name,folded,written) VALUES(?1,?2,?3,?4)"),
              parentOf(db, "SELECT parent FROM keys WHERE id=?1"),
              touchKey(db, "UPDATE keys SET written=?2 WHERE id=?1"),
              firstChild(db, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1"),
              deleteValuesOf(db, "DELETE FROM vals WHERE key=?1"),
              deleteKey(db, "DELETE FROM keys WHERE id=?1"),
              upsertValue(db,
                          "INSERT INTO vals(key,name,folded,type,data) VALUES(?1,?2,?3,?4,?5) "
                          "ON CONFLICT(key,folded) DO UPDATE SET type=excluded.type, "
                          "data=excluded.data"),
              findValue(db, "SELECT name,type,data FROM vals WHERE key=?1 AND folded=?2"),
              deleteValue(db, "DELETE FROM vals WHERE key=?1 AND folded=?2"),
              subkeyAt(db,
                       "SELECT name,written FROM keys WHERE parent=?1 ORDER BY folded "
                       "LIMIT 1 OFFSET ?2"),
              valueAt(db,
                      "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY id LIMIT 1 OFFSET ?2"),
              writtenOf(db, "SELECT written FROM keys WHERE id=?1"),
              subkeyStats(db,
                          "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))),0) "
                          "FROM keys WHERE parent=?1"),
              valueStats(db,
                         "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))),0), "
                         "coalesce(max(length(data)),0) FROM vals WHERE key=?1") {}
        detail::Statement findChild, insertKey, parentOf, touchKey, firstChild, deleteValuesOf,
            deleteKey, upsertValue, findValue, deleteValue, subkeyAt, valueAt, writtenOf,
            subkeyStats, valueStats;
    };

    std::unique_ptr<Statements> statements;

    // Statements are finalized before the connection closes. Idempotent.
    void Close() {
        statements.reset();
        if (db != nullptr)
            sqlite3_close(db);
        db = nullptr;
    }

    bool Exists(KeyId key) {
        Use use(statements->parentOf);
        return use.Bind(key.value).Step();
    }

    // The key's parent id (0 for a root), or -1 when the key does not exist.
    std::int64_t ParentOf(KeyId key) {
        Use use(statements->parentOf);
        return use.Bind(key.value).Step() ? use.Integer(0) : -1;
    }

    std::optional<KeyId> FindChild(KeyId parent, std::string_view name) {
        Use use(statements->findChild);
        if (!use.Bind(parent.value).Bind(FoldName(name)).Step())
            return std::nullopt;
        return KeyId{use.Integer(0)};
    }

    KeyId InsertChild(KeyId parent, std::string_view name, std::uint64_t now) {
        {
            Use use(statements->insertKey);
            use.Bind(parent.value)
                .Bind(name)
                .Bind(FoldName(name))
                .Bind(static_cast<std::int64_t>(now))
                .Step();
        }
        Touch(parent, now);
        return KeyId{sqlite3_last_insert_rowid(db)};
    }

    void Touch(KeyId key, std::uint64_t now) {
        Use use(statements->touchKey);
        use.Bind(key.value).Bind(static_cast<std::int64_t>(now)).Step();
    }
};

std::unique_ptr<Store> Store::Open(const std::filesystem::path& databaseFile, std::string* error,
                                   Status* failure) {
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(databaseFile.c_str(), &handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto database = std::make_unique<Database>(handle);
    try {
        if (opened != SQLITE_OK)
            throw SqlError(handle, "open " + databaseFile.string());
        sqlite3_busy_timeout(handle, g_busyTimeoutMs.load());
        EnableWriteAheadLog(handle);
        // FULL: a commit is on disk when the call returns, so that a crash of the process or the
        // machine loses no write that was reported done.
        detail::Execute(handle, "PRAGMA synchronous=FULL");
        if (!LaidOut(handle))
            LayOut(handle);
        else if (LayoutVersion(handle) < kLayoutVersion)
            Refold(handle);
        database->statements = std::make_unique<Database::Statements>(handle);
        for (int i = 0; i < 3; ++i) {
            auto root = database->FindChild(KeyId{0}, kRootNames[i]);
            if (!root)
                throw SqlError(handle, "root key missing");
            database->roots[i] = *root;
        }
    } catch (const SqlError& reason) {
        if (error != nullptr)
            *error = reason.what();
        if (failure != nullptr)
            *failure = Failed(reason);
        return nullptr;
    }
    return std::unique_ptr<Store>(new Store(databaseFile, std::move(database)));
}

Store::Store(std::filesystem::path file, std::unique_ptr<Database> db)
    : file_(std::move(file)), db_(std::move(db)) {}

Store::~Store() = default;

KeyId Store::RootKey(Root root) const {
    return db_->roots[static_cast<int>(root)];
}

bool Store::KeyExists(KeyId key) {
    std::lock_guard lock(mutex_);
    try {
        return db_->Exists(key);
    } catch (const SqlError&) {
        return false;
    }
}

Result<KeyId> Store::OpenKey(KeyId base, std::string_view path) {
    std::vector<std::string_view> components;
    if (!detail::SplitKeyPath(path, components))
        return {Status::kInvalidName, {}};
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kRead);
        if (!db_->Exists(base))
            return {Status::kKeyDeleted, {}};
        KeyId current = base;
        for (std::string_view component : components) {
            auto child = db_->FindChild(current, component);
            if (!child)
                return {Status::kNotFound, {}};
            current = *child;
        }
        transaction.Commit();
        return {Status::kOk, current};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

Result<OpenedKey> Store::CreateKey(KeyId base, std::string_view path) {
    std::vector<std::string_view> components;
    if (!detail::SplitKeyPath(path, components))
        return {Status::kInvalidName, {}};
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kWrite);
        if (!db_->Exists(base))
            return {Status::kKeyDeleted, {}};
        OpenedKey result{base, false};
        const std::uint64_t now = Now();
        for (std::string_view component : components) {
            if (auto child = db_->FindChild(result.id, component)) {
                result = {*child, false};
            } else {
                result = {db_->InsertChild(result.id, component, now), true};
            }
        }
        transaction.Commit();
        return {Status::kOk, result};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

Status Store::DeleteKey(KeyId key) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kWrite);
        const std::int64_t parent = db_->ParentOf(key);
        if (parent < 0)
            return Status::kKeyDeleted;
        if (parent == 0)
            return Status::kAccessDenied;
        {
            Use use(db_->statements->firstChild);
            if (use.Bind(key.value).Step())
                return Status::kHasSubkeys;
        }
        Use(db_->statements->deleteValuesOf).Bind(key.value).Step();
        Use(db_->statements->deleteKey).Bind(key.value).Step();
        db_->Touch(KeyId{parent}, Now());
        transaction.Commit();
        return Status::kOk;
    } catch (const SqlError& failure) {
        return Failed(failure);
    }
}

Status Store::SetValue(KeyId key, std::string_view name, std::uint32_t type,
                       std::span<const std::uint8_t> data) {
    if (name.size() > kMaxValueNameLength)
        return Status::kInvalidName;
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kWrite);
        if (!db_->Exists(key))
            return Status::kKeyDeleted;
        Use(db_->statements->upsertValue)
            .Bind(key.value)
            .Bind(name)
            .Bind(FoldName(name))
            .Bind(static_cast<std::int64_t>(type))
            .Bind(data)
            .Step();
        db_->Touch(key, Now());
        transaction.Commit();
        return Status::kOk;
    } catch (const SqlError& failure) {
        return Failed(failure);
    }
}

Result<Value> Store::QueryValue(KeyId key, std::string_view name) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kRead);
        Use use(db_->statements->findValue);
        if (!use.Bind(key.value).Bind(FoldName(name)).Step())
            return {db_->Exists(key) ? Status::kNotFound : Status::kKeyDeleted, {}};
        Value value{use.Text(0), Count(use.Integer(1)), use.Blob(2)};
        return {Status::kOk, std::move(value)};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

Status Store::DeleteValue(KeyId key, std::string_view name) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kWrite);
        if (!db_->Exists(key))
            return Status::kKeyDeleted;
        Use(db_->statements->deleteValue).Bind(key.value).Bind(FoldName(name)).Step();
        if (sqlite3_changes(db_->db) == 0)
            return Status::kNotFound;
        db_->Touch(key, Now());
        transaction.Commit();
        return Status::kOk;
    } catch (const SqlError& failure) {
        return Failed(failure);
    }
}

Result<Subkey> Store::EnumerateSubkey(KeyId key, std::uint32_t index) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kRead);
        if (!db_->Exists(key))
            return {Status::kKeyDeleted, {}};
        Use use(db_->statements->subkeyAt);
        if (!use.Bind(key.value).Bind(static_cast<std::int64_t>(index)).Step())
            return {Status::kNoMoreItems, {}};
        Subkey subkey{use.Text(0), static_cast<std::uint64_t>(use.Integer(1))};
        return {Status::kOk, std::move(subkey)};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

Result<Value> Store::EnumerateValue(KeyId key, std::uint32_t index) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kRead);
        if (!db_->Exists(key))
            return {Status::kKeyDeleted, {}};
        Use use(db_->statements->valueAt);
        if (!use.Bind(key.value).Bind(static_cast<std::int64_t>(index)).Step())
            return {Status::kNoMoreItems, {}};
        Value value{use.Text(0), Count(use.Integer(1)), use.Blob(2)};
        return {Status::kOk, std::move(value)};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

Result<KeyInfo> Store::QueryInfo(KeyId key) {
    std::lock_guard lock(mutex_);
    try {
        Transaction transaction(db_->db, Transaction::kRead);
        KeyInfo info;
        {
            Use use(db_->statements->writtenOf);
            if (!use.Bind(key.value).Step())
                return {Status::kKeyDeleted, {}};
            info.lastWriteTime = static_cast<std::uint64_t>(use.Integer(0));
        }
        {
            Use use(db_->statements->subkeyStats);
            use.Bind(key.value).Step();
            info.subkeyCount = Count(use.Integer(0));
            info.maxSubkeyNameLength = Count(use.Integer(1));
        }
        {
            Use use(db_->statements->valueStats);
            use.Bind(key.value).Step();
            info.valueCount = Count(use.Integer(0));
            info.maxValueNameLength = Count(use.Integer(1));
            info.maxValueDataLength = Count(use.Integer(2));
        }
        transaction.Commit();
        return {Status::kOk, info};
    } catch (const SqlError& failure) {
        return {Failed(failure), {}};
    }
}

namespace {

std::mutex machineMutex;
std::shared_ptr<Store> machineStore;

}  // namespace

std::shared_ptr<Store> MachineStore(Status* failure) {
    std::lock_guard lock(machineMutex);
    if (!machineStore)
        machineStore = Store::Open(MachineDirectory() / kDatabaseFileName, nullptr, failure);
    return machineStore;
}

void ResetMachineStore() {
    std::shared_ptr<Store> previous;
    {
        std::lock_guard lock(machineMutex);
        previous = std::move(machineStore);
        ResetMachineDirectory();
    }
    // The old store closes here, outside the lock, unless callers still hold it.
}

}  // namespace registry
