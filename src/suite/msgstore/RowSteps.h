// Steps shared by the relation operations on their prepared statements.
//
// Contract: StepDone runs a statement that returns no rows. StepToRow runs a
// query and leaves the statement on its first row. BindKey binds an idxkey's
// uid at INDEX and its part at INDEX+1.
// Failure modes (OpResult.h): StepDone returns kDbError unless SQLite reports
// the statement done; StepToRow returns kNotFound when there is no row and
// kDbError on any other failure. Nothing throws.
#pragma once

#include "suite/msgstore/Records.h"

#include <sqlite3.h>

namespace locmail::msgstore {

int StepDone(sqlite3_stmt* stmt);
int StepToRow(sqlite3_stmt* stmt);
void BindKey(sqlite3_stmt* stmt, int index, const idxkey& key);

} // namespace locmail::msgstore
