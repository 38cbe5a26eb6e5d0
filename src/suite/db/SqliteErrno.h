// The errno value that stands for a SQLite failure, so that the store classes
// every failure from one kind of number (see msgstore/FailureClass.h).
//
// Contract: ErrnoOfSqlite maps an extended result code, with the system errno
// SQLite recorded for it, to an errno value: a file that cannot be opened
// gives the system's reason, a full disk ENOSPC, an I/O error the system's
// reason or EIO, a busy or locked database EBUSY, a corrupt file or one that
// is not a database kCorruptRelationErrno. ErrnoOfConnection does the same
// for the most recent failure on a connection.
// Failure modes: none; 0 only for SQLITE_OK and the row/done codes, EPROTO for
// a failure SQLite gives no cause for (a misuse, a schema or SQL error).
#pragma once

#include <sqlite3.h>

#include <cerrno>

namespace locmail::db {

// A relation file that is corrupt, or not a SQLite database at all.
inline constexpr int kCorruptRelationErrno = EUCLEAN;
// A SQLite file that holds another relation, or a format this build cannot read.
inline constexpr int kForeignRelationErrno = EBADMSG;

int ErrnoOfSqlite(int extendedCode, int systemErrno);
int ErrnoOfConnection(sqlite3* db);

} // namespace locmail::db
