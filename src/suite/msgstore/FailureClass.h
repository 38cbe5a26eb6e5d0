// What a failed filing means for the delivery, from its errno value alone.
//
// Every failure of the store carries an errno value (a relation that cannot
// be opened or written gives one through db/SqliteErrno.h), and this is the
// one table that classes it. The delivery stops on a store-wide outage, defers
// only that recipient when one mailbox cannot take mail now, and returns the
// message when one mailbox will not take it. docs/store-format.md tables the
// members of each class.
//
// Contract: any value is accepted; an errno the table does not name (and 0)
// is MailboxTemporary: it defers one recipient, whose queue lifetime still
// ends in a returned message, rather than stalling every other one or
// returning mail for a cause nobody has seen. Failure modes: none.
#pragma once

namespace locmail::msgstore {

enum class FailureScope {
    StoreTemporary,    // the whole store cannot take mail now (store missing, ENOSPC, EIO, EROFS, ENOMEM...)
    MailboxTemporary,  // this mailbox cannot take mail now (EACCES, EPERM, ETIMEDOUT lock wait, EAGAIN, EBUSY,
                       //  a relation that cannot be opened for a reason that may pass)
    MailboxPermanent,  // this mailbox will not take mail (EISDIR, ENOTDIR, ELOOP, ENAMETOOLONG, EDQUOT,
                       //  EFBIG, a corrupt or foreign relation (SQLITE_CORRUPT/NOTADB/format), folder full)
};

FailureScope ClassifyErrno(int error);

} // namespace locmail::msgstore
