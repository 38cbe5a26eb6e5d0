#include "suite/msgstore/RowSteps.h"

#include "suite/msgstore/OpResult.h"

namespace locmail::msgstore {

int StepDone(sqlite3_stmt* stmt) { return sqlite3_step(stmt) == SQLITE_DONE ? kOk : kDbError; }

int StepToRow(sqlite3_stmt* stmt)
{
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return kNotFound;
    return rc == SQLITE_ROW ? kOk : kDbError;
}

void BindKey(sqlite3_stmt* stmt, int index, const idxkey& key)
{
    sqlite3_bind_int64(stmt, index, key.uid);
    sqlite3_bind_int(stmt, index + 1, key.part);
}

} // namespace locmail::msgstore
