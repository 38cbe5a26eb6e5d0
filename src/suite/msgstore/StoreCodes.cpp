#include "suite/msgstore/StoreCodes.h"

#include "suite/db/SqliteErrno.h"
#include "suite/msgstore/FailureClass.h"

#include <cerrno>

namespace locmail::msgstore {

int CodeForErrno(int error)
{
    switch (ClassifyErrno(error)) {
    case FailureScope::StoreTemporary: return kCodeStoreUnavailable;
    case FailureScope::MailboxTemporary: return kCodeMailboxUnavailable;
    case FailureScope::MailboxPermanent: break;
    }
    return kCodeMailboxRefused;
}

int StoreExceptionCode(const FilingResult& result)
{
    switch (result.status) {
    case FilingStatus::BadFolderPath: return kCodeBadFolderName;
    case FilingStatus::FolderFull: return kCodeFolderFull;
    case FilingStatus::NoSuchFolder:
        // ENOENT: no record, or its directory is gone; anything else: the record could not be read.
        if (result.error == ENOENT)
            return kCodeNoSuchFolder;
        break;
    case FilingStatus::Filed:
    case FilingStatus::RelationUnavailable:
    case FilingStatus::LockFailed:
    case FilingStatus::RecordFailed:
    case FilingStatus::MessageFileFailed:
    case FilingStatus::StatsUpdateFailed:
        break;
    }
    return CodeForErrno(result.error);
}

} // namespace locmail::msgstore
