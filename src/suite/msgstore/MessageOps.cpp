#include "suite/msgstore/MessageOps.h"

#include "suite/cclient/ImapSyntax.h"
#include "suite/db/SyncPoint.h"
#include "suite/msgstore/RowSteps.h"

using namespace locmail::msgstore;
using locmail::db::Connection;
using locmail::db::StatementUse;

namespace {

// Binds TEXT at INDEX (inline) or its heap place at INDEX+1 and INDEX+2.
int BindText(Connection& conn, sqlite3_stmt* s, int index, std::string_view text)
{
    if (text.size() <= kInlineTextLimit) {
        sqlite3_bind_blob(s, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        sqlite3_bind_null(s, index + 1);
        sqlite3_bind_null(s, index + 2);
        return kOk;
    }
    std::uint64_t offset = 0;
    if (!conn.Heap().Append(text, offset))
        return kHeapError;
    sqlite3_bind_null(s, index);
    sqlite3_bind_int64(s, index + 1, static_cast<sqlite3_int64>(offset));
    sqlite3_bind_int64(s, index + 2, static_cast<sqlite3_int64>(text.size()));
    return kOk;
}

// Reads the text of a row whose columns INDEX.. are (text, heapOffset, heapLength).
int ColumnText(Connection& conn, sqlite3_stmt* s, int index, std::string& out)
{
    if (sqlite3_column_type(s, index + 1) == SQLITE_NULL) {
        const void* bytes = sqlite3_column_blob(s, index);
        out.assign(bytes != nullptr ? static_cast<const char*>(bytes) : "",
                   static_cast<std::size_t>(sqlite3_column_bytes(s, index)));
        return kOk;
    }
    auto offset = static_cast<std::uint64_t>(sqlite3_column_int64(s, index + 1));
    auto length = static_cast<std::uint32_t>(sqlite3_column_int64(s, index + 2));
    return conn.Heap().Read(offset, length, out) ? kOk : kHeapError;
}

// Binds TEXT at INDEX (see BindText) and runs the write.
int WriteWithText(Connection& conn, sqlite3_stmt* s, int index, std::string_view text)
{
    int rc = BindText(conn, s, index, text);
    return rc == kOk ? StepDone(s) : rc;
}

int RunKeyed(diaRel& rel, const char* sql, const idxkey& key)
{
    StatementUse use(rel.connection()->Statement(sql));
    if (!use)
        return kDbError;
    BindKey(use.get(), 1, key);
    return StepDone(use.get());
}

// Runs a query whose parameters are KEY and leaves it on its row.
int SelectKeyed(const StatementUse& use, const idxkey& key)
{
    if (!use)
        return kDbError;
    BindKey(use.get(), 1, key);
    return StepToRow(use.get());
}

int FindEnvelope(msgenv& envelopes, const idxkey& key)
{
    StatementUse probe(envelopes.connection()->Statement("SELECT 1 FROM msgenv WHERE uid=? AND part=?"));
    return SelectKeyed(probe, key);
}

void Remember(msgenv& rel, const idxkey& key, std::string_view text)
{
    rel.key.cpy(&key, sizeof key);
    rel.envelope.cpy(text);
}

void Remember(msgbody& rel, const idxkey& key, std::string_view text)
{
    rel.key.cpy(&key, sizeof key);
    rel.bodyStructure.cpy(text);
}

bool SameFolder(const diaRel& a, const diaRel& b) { return a.directory() == b.directory(); }

} // namespace

int AddMsgStat(msgstat& rel, std::uint32_t uid, const _msgstat& r)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement("INSERT OR REPLACE INTO msgstat VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (!use)
        return kDbError;
    sqlite3_stmt* s = use.get();
    const std::int64_t values[] = {uid,       r.day,      r.month,       r.year,     r.hours,
                                   r.minutes, r.seconds,  r.zoneWest,    r.zoneHours, r.zoneMinutes,
                                   r.size,    r.systemFlags, r.userFlags, r.headerSize};
    for (int i = 0; i < 14; ++i)
        sqlite3_bind_int64(s, i + 1, values[i]);
    int rc = StepDone(s);
    if (rc == kOk)
        locmail::db::MarkDirty(rel.directory());
    return rc;
}

int RemoveMsgStat(msgstat& rel, std::uint32_t uid)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement("DELETE FROM msgstat WHERE uid=?"));
    if (!use)
        return kDbError;
    sqlite3_bind_int64(use.get(), 1, uid);
    return StepDone(use.get());
}

int AddMsgEnv(msgenv& rel, const idxkey& key, const mail_envelope* envelope)
{
    return AddMsgEnv(rel, key, locmail::cclient::ImapEnvelope(envelope));
}

int AddMsgEnv(msgenv& rel, const idxkey& key, std::string_view text)
{
    if (!rel.isOpen())
        return kNotOpen;
    Connection& conn = *rel.connection();
    StatementUse use(conn.Statement("INSERT OR REPLACE INTO msgenv VALUES(?,?,?,?,?)"));
    if (!use)
        return kDbError;
    BindKey(use.get(), 1, key);
    int rc = WriteWithText(conn, use.get(), 3, text);
    if (rc != kOk)
        return rc;
    Remember(rel, key, text);
    locmail::db::MarkDirty(rel.directory());
    return kOk;
}

int RemoveMsgEnv(msgenv& rel, const idxkey& key)
{
    if (!rel.isOpen())
        return kNotOpen;
    return RunKeyed(rel, "DELETE FROM msgenv WHERE uid=? AND part=?", key);
}

int AddMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey, const idxkey& envKey,
               const mail_bodystruct* body)
{
    return AddMsgBody(rel, envelopes, bodyKey, envKey, locmail::cclient::ImapBodyStructure(body));
}

int AddMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey, const idxkey& envKey,
               std::string_view text)
{
    if (!rel.isOpen() || !envelopes.isOpen())
        return kNotOpen;
    if (!SameFolder(rel, envelopes))
        return kBadArgument;
    if (int rc = FindEnvelope(envelopes, envKey); rc != kOk)
        return rc;
    Connection& conn = *rel.connection();
    StatementUse use(conn.Statement("INSERT OR REPLACE INTO msgbody VALUES(?,?,?,?,?,?,?)"));
    if (!use)
        return kDbError;
    sqlite3_stmt* s = use.get();
    BindKey(s, 1, bodyKey);
    BindKey(s, 3, envKey);
    int rc = WriteWithText(conn, s, 5, text);
    if (rc != kOk)
        return rc;
    Remember(rel, bodyKey, text);
    locmail::db::MarkDirty(rel.directory());
    return kOk;
}

int RemoveMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey)
{
    (void)envelopes; // the structure's envelope goes with RemoveMsgEnv
    if (!rel.isOpen())
        return kNotOpen;
    return RunKeyed(rel, "DELETE FROM msgbody WHERE uid=? AND part=?", bodyKey);
}

namespace locmail::msgstore {

int GetMsgStat(msgstat& rel, std::uint32_t uid, _msgstat& r)
{
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement(
        "SELECT day, month, year, hours, minutes, seconds, zoneWest, zoneHours, zoneMinutes,"
        " size, systemFlags, userFlags, headerSize FROM msgstat WHERE uid=?"));
    if (!use)
        return kDbError;
    sqlite3_stmt* s = use.get();
    sqlite3_bind_int64(s, 1, uid);
    if (int rc = StepToRow(s); rc != kOk)
        return rc;
    auto byte = [s](int i) { return static_cast<std::uint8_t>(sqlite3_column_int64(s, i)); };
    auto word = [s](int i) { return static_cast<std::uint32_t>(sqlite3_column_int64(s, i)); };
    r = _msgstat{byte(0), byte(1), byte(2), byte(3), byte(4), byte(5), byte(6), byte(7), byte(8),
                 word(9), word(10), word(11), word(12)};
    return kOk;
}

int GetMsgEnv(msgenv& rel, const idxkey& key, std::string& text)
{
    if (!rel.isOpen())
        return kNotOpen;
    Connection& conn = *rel.connection();
    StatementUse use(conn.Statement("SELECT text, heapOffset, heapLength FROM msgenv WHERE uid=? AND part=?"));
    int rc = SelectKeyed(use, key);
    if (rc == kOk)
        rc = ColumnText(conn, use.get(), 0, text);
    if (rc == kOk)
        Remember(rel, key, text);
    return rc;
}

int GetMsgBody(msgbody& rel, const idxkey& key, std::string& text, idxkey* envKey)
{
    if (!rel.isOpen())
        return kNotOpen;
    Connection& conn = *rel.connection();
    StatementUse use(
        conn.Statement("SELECT envUid, envPart, text, heapOffset, heapLength FROM msgbody WHERE uid=? AND part=?"));
    if (int rc = SelectKeyed(use, key); rc != kOk)
        return rc;
    if (envKey != nullptr) {
        *envKey = idxkey{};
        envKey->uid = static_cast<std::uint32_t>(sqlite3_column_int64(use.get(), 0));
        envKey->part = static_cast<std::uint16_t>(sqlite3_column_int(use.get(), 1));
    }
    int rc = ColumnText(conn, use.get(), 2, text);
    if (rc == kOk)
        Remember(rel, key, text);
    return rc;
}

int ListMsgUids(msgstat& rel, std::uint32_t below, std::vector<std::uint32_t>& out)
{
    out.clear();
    if (!rel.isOpen())
        return kNotOpen;
    StatementUse use(rel.connection()->Statement("SELECT uid FROM msgstat WHERE uid<? ORDER BY uid"));
    if (!use)
        return kDbError;
    sqlite3_bind_int64(use.get(), 1, below);
    int rc;
    while ((rc = sqlite3_step(use.get())) == SQLITE_ROW)
        out.push_back(static_cast<std::uint32_t>(sqlite3_column_int64(use.get(), 0)));
    return rc == SQLITE_DONE ? kOk : kDbError;
}

} // namespace locmail::msgstore
