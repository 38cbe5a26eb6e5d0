// A write transaction on one SQLite connection that rolls back unless committed.
//
// Contract: the constructor runs BEGIN IMMEDIATE (the write lock is taken at
// once, so a busy database shows up here and not half-way through the work);
// commit() runs COMMIT and reports whether it succeeded. A transaction that was
// not committed, or whose commit failed, is rolled back by the destructor
// (or at once by rollback()).
// Built on a Connection, the three statements are prepared once and kept in
// the connection's statement cache: a filing runs several transactions, and
// parsing their SQL each time cost more than the rest of them.
// Failure modes: began() false when BEGIN failed (busy, I/O error); commit()
// false when COMMIT failed. Neither throws.
#pragma once

#include <sqlite3.h>

namespace locmail::db {

class Connection;

class Transaction {
public:
    explicit Transaction(sqlite3* db);
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool began() const { return open_; }
    [[nodiscard]] bool commit();
    // Rolls back now, for a caller that writes on after the undo.
    void rollback();

private:
    bool Run(const char* sql);

    sqlite3* db_;
    Connection* connection_ = nullptr;
    bool open_ = false;
};

} // namespace locmail::db
