#include "suite/msgstore/DeliveredOps.h"

#include "suite/msgstore/RowSteps.h"

namespace locmail::msgstore {
namespace {

using locmail::db::StatementUse;

void BindRecord(sqlite3_stmt* s, const DeliveryRecord& r)
{
    sqlite3_bind_text(s, 1, r.key.data(), static_cast<int>(r.key.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, r.recipient.data(), static_cast<int>(r.recipient.size()), SQLITE_STATIC);
    sqlite3_bind_blob(s, 3, r.folder.data(), static_cast<int>(r.folder.size()), SQLITE_STATIC);
}

} // namespace

int FindDelivered(mailbox& rel, const DeliveryRecord& record, std::uint32_t& uid)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(
        rel.connection()->Statement("SELECT uid FROM delivered WHERE key=? AND recipient=? AND folder=?"));
    if (!use)
        return kDbError;
    BindRecord(use.get(), record);
    if (int rc = StepToRow(use.get()); rc != kOk)
        return rc;
    uid = static_cast<std::uint32_t>(sqlite3_column_int64(use.get(), 0));
    return kOk;
}

int RecordDelivered(mailbox& rel, const DeliveryRecord& record, std::uint32_t uid, std::time_t at)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement("INSERT OR REPLACE INTO delivered VALUES(?,?,?,?,?)"));
    if (!use)
        return kDbError;
    BindRecord(use.get(), record);
    sqlite3_bind_int64(use.get(), 4, uid);
    sqlite3_bind_int64(use.get(), 5, static_cast<sqlite3_int64>(at));
    return StepDone(use.get());
}

int PruneDelivered(mailbox& rel, std::time_t before, int limit)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement(
        "DELETE FROM delivered WHERE (key, recipient, folder) IN"
        " (SELECT key, recipient, folder FROM delivered WHERE at<? ORDER BY at LIMIT ?)"));
    if (!use)
        return kDbError;
    sqlite3_bind_int64(use.get(), 1, static_cast<sqlite3_int64>(before));
    sqlite3_bind_int(use.get(), 2, limit);
    return StepDone(use.get());
}

} // namespace locmail::msgstore
