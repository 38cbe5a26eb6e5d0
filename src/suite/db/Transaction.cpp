#include "suite/db/Transaction.h"

#include "suite/db/Connection.h"

namespace locmail::db {

Transaction::Transaction(sqlite3* db) : db_(db) { open_ = Run("BEGIN IMMEDIATE"); }

Transaction::Transaction(Connection& connection) : db_(connection.handle()), connection_(&connection)
{
    open_ = Run("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (open_)
        Run("ROLLBACK");
}

bool Transaction::commit()
{
    if (!open_ || !Run("COMMIT"))
        return false; // still open: the destructor rolls back
    open_ = false;
    return true;
}

void Transaction::rollback()
{
    if (open_)
        Run("ROLLBACK");
    open_ = false;
}

bool Transaction::Run(const char* sql)
{
    if (connection_ == nullptr)
        return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* statement = connection_->Statement(sql);
    if (statement == nullptr)
        return false;
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    return rc == SQLITE_DONE;
}

} // namespace locmail::db
