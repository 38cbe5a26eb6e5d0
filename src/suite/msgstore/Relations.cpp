#include "suite/msgstore/Relations.h"

namespace locmail::msgstore {

namespace {

// Format 2 adds the record of exactly-once deliveries (DeliveryScope.h).
#define LOCMAIL_DELIVERED_TABLE                                                                                  \
    "CREATE TABLE delivered(key TEXT NOT NULL, recipient TEXT NOT NULL COLLATE NOCASE, folder BLOB NOT NULL,"    \
    " uid INTEGER NOT NULL, at INTEGER NOT NULL, PRIMARY KEY(key, recipient, folder)) WITHOUT ROWID;"            \
    " CREATE INDEX deliveredAt ON delivered(at)"

const char* const kMailboxUpgrades[] = {LOCMAIL_DELIVERED_TABLE};

} // namespace

const locmail::db::Schema kMailboxSchema{
    "mailbox", 2,
    "CREATE TABLE mbxstat(folder BLOB PRIMARY KEY NOT NULL, flags INTEGER NOT NULL,"
    " totalMsgs INTEGER NOT NULL, recentMsgs INTEGER NOT NULL, unseenMsgs INTEGER NOT NULL,"
    " uidNext INTEGER NOT NULL, createTime INTEGER NOT NULL, reserved INTEGER NOT NULL) WITHOUT ROWID;"
    LOCMAIL_DELIVERED_TABLE,
    kMailboxUpgrades};

#undef LOCMAIL_DELIVERED_TABLE

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
