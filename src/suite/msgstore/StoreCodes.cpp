#include "suite/msgstore/StoreCodes.h"

namespace locmail::msgstore {

int StoreExceptionCode(FilingStatus status)
{
    switch (status) {
    case FilingStatus::NoSuchFolder: return kCodeNoSuchFolder;
    case FilingStatus::BadFolderPath: return kCodeBadFolderName;
    case FilingStatus::FolderFull: return kCodeFolderFull;
    case FilingStatus::Filed:
    case FilingStatus::RelationUnavailable:
    case FilingStatus::LockFailed:
    case FilingStatus::RecordFailed:
    case FilingStatus::MessageFileFailed:
    case FilingStatus::StatsUpdateFailed:
        break;
    }
    return kCodeStoreUnavailable;
}

} // namespace locmail::msgstore
