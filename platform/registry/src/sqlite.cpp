#include "sqlite.h"

namespace registry::detail {

SqlError::SqlError(sqlite3* db, const std::string& what)
    : std::runtime_error(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no database")),
      code_(db != nullptr ? (sqlite3_errcode(db) & 0xFF) : SQLITE_CANTOPEN) {}

void Execute(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message != nullptr ? message : "unknown error";
        sqlite3_free(message);
        throw SqlError(db, std::string(sql) + " (" + text + ")");
    }
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) !=
        SQLITE_OK)
        throw SqlError(db, std::string("prepare ") + sql);
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

Use::~Use() {
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
}

Use& Use::Bind(std::int64_t value) {
    sqlite3_bind_int64(statement_.get(), nextParameter_++, value);
    return *this;
}

Use& Use::Bind(std::string_view text) {
    // A null pointer would bind SQL NULL; an empty name is a real name (the default value).
    sqlite3_bind_text(statement_.get(), nextParameter_++, text.empty() ? "" : text.data(),
                      static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Use& Use::Bind(std::span<const std::uint8_t> blob) {
    static const std::uint8_t empty = 0;
    sqlite3_bind_blob(statement_.get(), nextParameter_++, blob.empty() ? &empty : blob.data(),
                      static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

bool Use::Step() {
    const int result = sqlite3_step(statement_.get());
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    throw SqlError(statement_.db(), "step");
}

std::int64_t Use::Integer(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

std::string Use::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::vector<std::uint8_t> Use::Blob(int column) const {
    const auto* blob =
        static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_.get(), column));
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return blob != nullptr ? std::vector<std::uint8_t>(blob, blob + size)
                           : std::vector<std::uint8_t>();
}

Transaction::Transaction(sqlite3* db, Kind kind) : db_(db) {
    Execute(db, kind == kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    Execute(db_, "COMMIT");
    open_ = false;
}

}  // namespace registry::detail
