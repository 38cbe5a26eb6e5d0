// The store's four relations, each a diaRel on its directory's NAME.db:
//   mailbox  in a user's (or shared mailbox's) home: one mbxstat per folder,
//            and the keys of the deliveries filed there (DeliveryScope.h)
//   msgstat  in a folder directory: one _msgstat per message, by UID
//   msgenv   in a folder directory: the IMAP ENVELOPE of each message, by idxkey
//   msgbody  in a folder directory: the IMAP BODYSTRUCTURE of each message, by
//            idxkey, with the key of the envelope it belongs to
// Each is made from (diamondBase*, directory, relation name); the name is
// always the class name. The mailbox, msgenv and msgbody objects carry the
// record last read or written through them in dbData/dbString fields.
// Schemas: docs/store-format.md. Failure modes: as diaRel (isOpen() false).
#pragma once

#include "suite/db/dbData.h"
#include "suite/db/diaRel.h"

class mailbox : public diaRel {
public:
    mailbox(diamondBase* base, const char* directory, const char* name);
    dbString folder; // key of the current record
    dbData stat;     // the current mbxstat, as its bytes
};

class msgstat : public diaRel {
public:
    msgstat(diamondBase* base, const char* directory, const char* name);
};

class msgenv : public diaRel {
public:
    msgenv(diamondBase* base, const char* directory, const char* name);
    dbData key;        // the current idxkey, as its bytes
    dbString envelope; // the current IMAP ENVELOPE text
};

class msgbody : public diaRel {
public:
    msgbody(diamondBase* base, const char* directory, const char* name);
    dbData key;             // the current idxkey, as its bytes
    dbString bodyStructure; // the current IMAP BODYSTRUCTURE text
};

namespace locmail::msgstore {

// How long a filing, a folder maker or a reader waits for a home's `mailbox`
// lock before it gives up (ETIMEDOUT; the agent defers that recipient). Long
// enough for any filing or folder listing to finish, short enough that a
// mailbox held by a stuck reader never stalls the delivery of other mail, and
// the wait polls every few milliseconds, so a stop is taken promptly.
inline constexpr unsigned long kMailboxLockWaitMs = 3000;

// The schemas, for opening and for writing the template files.
extern const locmail::db::Schema kMailboxSchema;
extern const locmail::db::Schema kMsgStatSchema;
extern const locmail::db::Schema kMsgEnvSchema;
extern const locmail::db::Schema kMsgBodySchema;

} // namespace locmail::msgstore
