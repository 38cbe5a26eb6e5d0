// Owners for SQLite handles: a connection closes and a statement finalises
// when its owner goes away, on every path.
//
// sqlite3_close_v2 is used rather than sqlite3_close so that a connection whose
// statements are still alive is closed as soon as the last one is finalised,
// instead of failing with SQLITE_BUSY and leaking.
#pragma once

#include <sqlite3.h>

#include <memory>

namespace locmail::db {

struct SqliteClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

struct SqliteFinalize {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

using SqlitePtr = std::unique_ptr<sqlite3, SqliteClose>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, SqliteFinalize>;

// One use of a cached prepared statement: resets it and clears its bindings
// when the use ends, so the next user finds it clean.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~StatementUse()
    {
        if (stmt_ != nullptr) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_;
};

} // namespace locmail::db
