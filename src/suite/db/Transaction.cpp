#include "suite/db/Transaction.h"

namespace locmail::db {

Transaction::Transaction(sqlite3* db) : db_(db)
{
    open_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

Transaction::~Transaction()
{
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Transaction::commit()
{
    if (!open_)
        return false;
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false; // still open: the destructor rolls back
    open_ = false;
    return true;
}

} // namespace locmail::db
