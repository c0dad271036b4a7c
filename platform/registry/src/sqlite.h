// Thin RAII layer over SQLite for the store: prepared statements, one use of a statement, and
// transactions. Failures throw SqlError with SQLite's primary result code; the store turns a
// damaged file into Status::kCorrupt and everything else into Status::kIoError.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace registry::detail {

class SqlError : public std::runtime_error {
  public:
    SqlError(sqlite3* db, const std::string& what);
    int code() const { return code_; }  // SQLITE_BUSY, SQLITE_CORRUPT, SQLITE_NOTADB, ...
    bool busy() const { return code_ == SQLITE_BUSY || code_ == SQLITE_LOCKED; }
    bool damaged() const { return code_ == SQLITE_CORRUPT || code_ == SQLITE_NOTADB; }

  private:
    int code_;
};

// Runs SQL text without results (pragmas, schema, transaction control).
void Execute(sqlite3* db, const char* sql);

class Statement {
  public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return statement_; }
    sqlite3* db() const { return db_; }

  private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// One execution of a prepared statement: binds parameters (1-based, in order), steps, reads
// columns, and resets the statement when it goes out of scope.
class Use {
  public:
    explicit Use(Statement& statement) : statement_(statement) {}
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    Use& Bind(std::int64_t value);
    Use& Bind(std::string_view text);
    Use& Bind(std::span<const std::uint8_t> blob);

    bool Step();  // true while a row is available
    std::int64_t Integer(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;

  private:
    Statement& statement_;
    int nextParameter_ = 1;
};

// BEGIN IMMEDIATE for writes (takes the write lock up front, waiting out other writers within the
// busy timeout), plain BEGIN for reads that need one consistent snapshot. Rolls back unless
// committed.
class Transaction {
  public:
    enum Kind { kRead, kWrite };
    Transaction(sqlite3* db, Kind kind);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

  private:
    sqlite3* db_;
    bool open_ = true;
};

}  // namespace registry::detail
