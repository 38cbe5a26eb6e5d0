#include "suite/db/SqliteErrno.h"

namespace locmail::db {

int ErrnoOfSqlite(int extendedCode, int systemErrno)
{
    switch (extendedCode & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return 0;
    case SQLITE_CANTOPEN:
        if (systemErrno != 0)
            return systemErrno;
        return extendedCode == SQLITE_CANTOPEN_ISDIR ? EISDIR : EACCES;
    case SQLITE_IOERR:
        if (extendedCode == SQLITE_IOERR_NOMEM)
            return ENOMEM;
        return systemErrno != 0 ? systemErrno : EIO;
    case SQLITE_FULL: return ENOSPC;
    case SQLITE_NOMEM: return ENOMEM;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return EBUSY;
    case SQLITE_PROTOCOL:
    case SQLITE_SCHEMA: return EAGAIN;
    case SQLITE_INTERRUPT: return EINTR;
    case SQLITE_READONLY: return systemErrno == EROFS ? EROFS : EACCES;
    case SQLITE_PERM: return EPERM;
    case SQLITE_AUTH: return EACCES;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return kCorruptRelationErrno;
    case SQLITE_TOOBIG:
    case SQLITE_NOLFS: return EFBIG;
    default: return EPROTO;
    }
}

int ErrnoOfConnection(sqlite3* db)
{
    if (db == nullptr)
        return ENOMEM; // sqlite3_open_v2 gives no handle only when it has no memory
    return ErrnoOfSqlite(sqlite3_extended_errcode(db), sqlite3_system_errno(db));
}

} // namespace locmail::db
