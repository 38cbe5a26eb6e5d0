#include "suite/msgstore/Relations.h"

namespace locmail::msgstore {

const locmail::db::Schema kMailboxSchema{
    "mailbox", 1,
    "CREATE TABLE mbxstat(folder BLOB PRIMARY KEY NOT NULL, flags INTEGER NOT NULL,"
    " totalMsgs INTEGER NOT NULL, recentMsgs INTEGER NOT NULL, unseenMsgs INTEGER NOT NULL,"
    " uidNext INTEGER NOT NULL, createTime INTEGER NOT NULL, reserved INTEGER NOT NULL) WITHOUT ROWID"};

const locmail::db::Schema kMsgStatSchema{
    "msgstat", 1,
    "CREATE TABLE msgstat(uid INTEGER PRIMARY KEY, day INTEGER NOT NULL, month INTEGER NOT NULL,"
    " year INTEGER NOT NULL, hours INTEGER NOT NULL, minutes INTEGER NOT NULL, seconds INTEGER NOT NULL,"
    " zoneWest INTEGER NOT NULL, zoneHours INTEGER NOT NULL, zoneMinutes INTEGER NOT NULL,"
    " size INTEGER NOT NULL, systemFlags INTEGER NOT NULL, userFlags INTEGER NOT NULL,"
    " headerSize INTEGER NOT NULL)"};

// A text sits in the row (text) or in the NAME.str heap (heapOffset, heapLength).
const locmail::db::Schema kMsgEnvSchema{
    "msgenv", 1,
    "CREATE TABLE msgenv(uid INTEGER NOT NULL, part INTEGER NOT NULL, text BLOB,"
    " heapOffset INTEGER, heapLength INTEGER, PRIMARY KEY(uid, part)) WITHOUT ROWID"};

const locmail::db::Schema kMsgBodySchema{
    "msgbody", 1,
    "CREATE TABLE msgbody(uid INTEGER NOT NULL, part INTEGER NOT NULL, envUid INTEGER NOT NULL,"
    " envPart INTEGER NOT NULL, text BLOB, heapOffset INTEGER, heapLength INTEGER,"
    " PRIMARY KEY(uid, part)) WITHOUT ROWID"};

} // namespace locmail::msgstore

using namespace locmail::msgstore;

mailbox::mailbox(diamondBase* base, const char* directory, const char* name)
    : diaRel(base, directory, name, kMailboxSchema)
{
}

msgstat::msgstat(diamondBase* base, const char* directory, const char* name)
    : diaRel(base, directory, name, kMsgStatSchema)
{
}

msgenv::msgenv(diamondBase* base, const char* directory, const char* name)
    : diaRel(base, directory, name, kMsgEnvSchema)
{
}

msgbody::msgbody(diamondBase* base, const char* directory, const char* name)
    : diaRel(base, directory, name, kMsgBodySchema)
{
}
