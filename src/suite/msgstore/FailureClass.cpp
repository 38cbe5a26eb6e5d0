#include "suite/msgstore/FailureClass.h"

#include "suite/db/SqliteErrno.h"

#include <cerrno>

namespace locmail::msgstore {

FailureScope ClassifyErrno(int error)
{
    switch (error) {
    // The store's file system or the process itself: no mailbox can take mail.
    case ENOENT: // the store, or a home's directory, is not there (unmounted, moved)
    case ENOSPC:
    case EIO:
    case EROFS:
    case ENOMEM:
    case EMFILE:
    case ENFILE:
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ENOTCONN:
        return FailureScope::StoreTemporary;
    // Limits of one mailbox that no retry cures.
    case ENAMETOOLONG:
    case EDQUOT:
    case EFBIG:
    case EMLINK:
    case EOVERFLOW: // folder full: no UID left
    case EINVAL:
    case EILSEQ:
        return FailureScope::MailboxPermanent;
    // Damage (a damaged relation; a directory, file or link in the place of
    // another) is the store not being readable, not the recipient being
    // wrong: the copy waits (until the queue lifetime) for an operator.
    case EISDIR:
    case ENOTDIR:
    case ELOOP:
    case locmail::db::kCorruptRelationErrno:
    case locmail::db::kForeignRelationErrno:
        return FailureScope::MailboxTemporary;
    // Permissions, locks and contention in one mailbox (EACCES, EPERM,
    // ETIMEDOUT, EAGAIN, EBUSY, EINTR, ENOLCK, ...) and anything unknown.
    default:
        return FailureScope::MailboxTemporary;
    }
}

} // namespace locmail::msgstore
