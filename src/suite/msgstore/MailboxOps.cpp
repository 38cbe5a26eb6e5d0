#include "suite/msgstore/MailboxOps.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/RowSteps.h"

#include <cstring>

using namespace locmail::msgstore;
using locmail::db::StatementUse;

namespace {

void BindFolder(sqlite3_stmt* stmt, int index, const char* folder)
{
    sqlite3_bind_blob(stmt, index, folder, static_cast<int>(std::strlen(folder)), SQLITE_TRANSIENT);
}

// Binds the five fields UpdateMbxStat may write, flags to uidNext, from FIRST on.
void BindCounters(sqlite3_stmt* stmt, int first, const mbxstat& record)
{
    sqlite3_bind_int64(stmt, first, record.flags);
    sqlite3_bind_int64(stmt, first + 1, record.totalMsgs);
    sqlite3_bind_int64(stmt, first + 2, record.recentMsgs);
    sqlite3_bind_int64(stmt, first + 3, record.unseenMsgs);
    sqlite3_bind_int64(stmt, first + 4, record.uidNext);
}

mbxstat RecordFromRow(sqlite3_stmt* stmt, int first)
{
    mbxstat r{};
    r.flags = static_cast<std::uint8_t>(sqlite3_column_int64(stmt, first));
    r.totalMsgs = static_cast<std::uint32_t>(sqlite3_column_int64(stmt, first + 1));
    r.recentMsgs = static_cast<std::uint32_t>(sqlite3_column_int64(stmt, first + 2));
    r.unseenMsgs = static_cast<std::uint32_t>(sqlite3_column_int64(stmt, first + 3));
    r.uidNext = static_cast<std::uint32_t>(sqlite3_column_int64(stmt, first + 4));
    r.createTime = static_cast<std::int32_t>(sqlite3_column_int64(stmt, first + 5));
    r.reserved = static_cast<std::int32_t>(sqlite3_column_int64(stmt, first + 6));
    return r;
}

void Remember(mailbox& rel, const char* folder, const mbxstat& record)
{
    rel.folder.cpy(folder);
    rel.stat.cpy(&record, sizeof record);
}

} // namespace

int AddMbx(mailbox& rel, const char* folder, const mbxstat& record)
{
    if (!rel.isOpen())
        return kNotOpen;
    if (folder == nullptr)
        return kBadArgument;
    StatementUse use(rel.connection()->Statement("INSERT INTO mbxstat VALUES(?,?,?,?,?,?,?,?)"));
    if (!use)
        return kDbError;
    sqlite3_stmt* s = use.get();
    BindFolder(s, 1, folder);
    BindCounters(s, 2, record);
    sqlite3_bind_int64(s, 7, record.createTime);
    sqlite3_bind_int64(s, 8, record.reserved);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        return kExists;
    if (rc != SQLITE_DONE)
        return kDbError;
    Remember(rel, folder, record);
    locmail::db::MarkDirty(rel.directory());
    return kOk;
}

int GetMbxStat(mailbox& rel, const char* folder, mbxstat& record)
{
    if (!rel.isOpen())
        return kNotOpen;
    if (folder == nullptr)
        return kBadArgument;
    StatementUse use(rel.connection()->Statement(
        "SELECT flags, totalMsgs, recentMsgs, unseenMsgs, uidNext, createTime, reserved FROM mbxstat WHERE folder=?"));
    if (!use)
        return kDbError;
    BindFolder(use.get(), 1, folder);
    if (int rc = StepToRow(use.get()); rc != kOk)
        return rc;
    record = RecordFromRow(use.get(), 0);
    Remember(rel, folder, record);
    return kOk;
}

int UpdateMbxStat(mailbox& rel, const char* folder, const mbxstat& record, int mask)
{
    if (!rel.isOpen())
        return kNotOpen;
    if (folder == nullptr)
        return kBadArgument;
    StatementUse use(rel.connection()->Statement(
        "UPDATE mbxstat SET"
        " flags=CASE WHEN ?1&1 THEN ?2 ELSE flags END,"
        " totalMsgs=CASE WHEN ?1&2 THEN ?3 ELSE totalMsgs END,"
        " recentMsgs=CASE WHEN ?1&4 THEN ?4 ELSE recentMsgs END,"
        " unseenMsgs=CASE WHEN ?1&8 THEN ?5 ELSE unseenMsgs END,"
        " uidNext=CASE WHEN ?1&16 THEN ?6 ELSE uidNext END"
        " WHERE folder=?7"));
    if (!use)
        return kDbError;
    sqlite3_stmt* s = use.get();
    sqlite3_bind_int(s, 1, mask);
    BindCounters(s, 2, record);
    BindFolder(s, 7, folder);
    if (StepDone(s) != kOk)
        return kDbError;
    if (sqlite3_changes(rel.connection()->handle()) == 0)
        return kNotFound;
    Remember(rel, folder, record);
    locmail::db::MarkDirty(rel.directory());
    return kOk;
}

namespace locmail::msgstore {

int ListMbx(mailbox& rel, std::vector<std::pair<std::string, mbxstat>>& out)
{
    out.clear();
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement(
        "SELECT folder, flags, totalMsgs, recentMsgs, unseenMsgs, uidNext, createTime, reserved"
        " FROM mbxstat ORDER BY folder"));
    if (!use)
        return kDbError;
    int rc;
    while ((rc = sqlite3_step(use.get())) == SQLITE_ROW) {
        const char* key = static_cast<const char*>(sqlite3_column_blob(use.get(), 0));
        std::string folder(key != nullptr ? key : "", static_cast<std::size_t>(sqlite3_column_bytes(use.get(), 0)));
        out.emplace_back(std::move(folder), RecordFromRow(use.get(), 1));
    }
    return rc == SQLITE_DONE ? kOk : kDbError;
}

} // namespace locmail::msgstore
