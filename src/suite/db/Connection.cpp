#include "suite/db/Connection.h"

#include "suite/db/CountingVfs.h"
#include "suite/db/SqliteErrno.h"
#include "suite/db/Transaction.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace locmail::db {
namespace {

constexpr int kBusyTimeoutMs = 10000;

std::string HeapPathFor(const std::string& dbPath)
{
    std::string base = dbPath;
    if (base.size() > 3 && base.compare(base.size() - 3, 3, ".db") == 0)
        base.resize(base.size() - 3);
    return base + ".str";
}

bool QueryInt(sqlite3* db, const char* sql, int& out)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return false;
    StmtPtr stmt(raw);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return false;
    out = sqlite3_column_int(stmt.get(), 0);
    return true;
}

struct FileMark {
    int version = 0;
    int tag = 0;
};

bool ReadMark(sqlite3* db, FileMark& mark)
{
    return QueryInt(db, "PRAGMA user_version", mark.version) && QueryInt(db, "PRAGMA application_id", mark.tag);
}

// A new, empty file (when the mode may install), or one of an older format of
// the same relation that the schema can upgrade.
bool CanBringUpToDate(const FileMark& mark, const Schema& schema, OpenMode mode)
{
    if (mark.version == 0 && mark.tag == 0)
        return mode == OpenMode::CreateOrUpgrade;
    return mark.tag == RelationTag(schema.relation) && mark.version >= 1 && mark.version < schema.format
        && schema.upgrades.size() >= static_cast<std::size_t>(schema.format - 1);
}

// The SQL that brings a file of MARK up to the schema's format, with the new mark.
std::string UpdateSql(const FileMark& mark, const Schema& schema)
{
    std::string sql;
    if (mark.version == 0)
        sql = schema.createSql;
    for (int v = mark.version; v >= 1 && v < schema.format; ++v)
        sql += std::string(schema.upgrades[static_cast<std::size_t>(v - 1)]) + ";";
    return sql + "; PRAGMA application_id=" + std::to_string(RelationTag(schema.relation))
         + "; PRAGMA user_version=" + std::to_string(schema.format) + ";";
}

bool Refuse(const FileMark& mark, const Schema& schema, std::string& error, int& code)
{
    error = "not a " + std::string(schema.relation) + " relation of format " + std::to_string(schema.format)
          + " (found format " + std::to_string(mark.version) + ")";
    code = kForeignRelationErrno;
    return false;
}

bool SqliteFailed(sqlite3* db, std::string& error, int& code)
{
    error = sqlite3_errmsg(db);
    code = ErrnoOfConnection(db);
    return false;
}

// Checks the file's schema, or installs or upgrades it. Runs the change under
// BEGIN IMMEDIATE and looks again there, so two processes opening a new or
// older relation at once do not both change it.
bool CheckOrInstall(sqlite3* db, const Schema& schema, OpenMode mode, std::string& error, int& code)
{
    FileMark mark;
    if (!ReadMark(db, mark))
        return SqliteFailed(db, error, code);
    const int want = RelationTag(schema.relation);
    if (mark.version == schema.format && mark.tag == want)
        return true;
    if (!CanBringUpToDate(mark, schema, mode))
        return Refuse(mark, schema, error, code);
    Transaction tx(db);
    if (!tx.began() || !ReadMark(db, mark))
        return SqliteFailed(db, error, code);
    if (mark.version == schema.format && mark.tag == want)
        return true; // someone else did it meanwhile
    if (!CanBringUpToDate(mark, schema, mode))
        return Refuse(mark, schema, error, code);
    if (sqlite3_exec(db, UpdateSql(mark, schema).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK || !tx.commit())
        return SqliteFailed(db, error, code);
    return true;
}

// SQLite gives every connection's page cache a bulk allocation of twenty
// pages up front (some 86 KiB); relations touch a few pages per filing, so
// pages are allocated as used instead. Global, so it must come before SQLite
// initialises: the first relation opened does it (a no-op if something else
// in the process started SQLite first).
void ConfigureSqliteOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0); });
}

// A link in the place of a relation could lead anywhere: never opened through one.
bool NotALink(const std::string& dbPath, std::string& error, int& code)
{
    struct stat st;
    if (::lstat(dbPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return true;
    code = ELOOP;
    error = "a symbolic link, not a relation";
    return false;
}

// ExistingOnly: a file that is not there, or is empty, is no relation. Looked
// at before SQLite opens it, since switching a new file to WAL writes it.
bool ExistsWithContent(const std::string& dbPath, std::string& error, int& code)
{
    struct stat st;
    if (::stat(dbPath.c_str(), &st) != 0) {
        code = errno;
        error = std::strerror(code);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        code = kForeignRelationErrno;
        error = "the file is empty, not a relation";
        return false;
    }
    return true;
}

} // namespace

int RelationTag(const char* relation)
{
    // 'L' 'M' then a 16-bit FNV-1a of the name: stable, and distinct for our four names.
    std::uint32_t h = 2166136261u;
    for (const char* p = relation; *p != '\0'; ++p) {
        h ^= static_cast<unsigned char>(*p);
        h *= 16777619u;
    }
    return static_cast<int>((0x4C4Du << 16) | ((h ^ (h >> 16)) & 0xFFFFu));
}

Connection::Connection(std::string path, SqlitePtr db)
    : path_(std::move(path)), db_(std::move(db)), heap_(HeapPathFor(path_))
{
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
}

bool Connection::StillAtPath() const
{
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
}

std::unique_ptr<Connection> Connection::Open(const std::string& dbPath, const Schema& schema, std::string& error,
                                             int* errorCode, OpenMode mode)
{
    ConfigureSqliteOnce();
    int code = 0;
    if (!NotALink(dbPath, error, code) || (mode == OpenMode::ExistingOnly && !ExistsWithContent(dbPath, error, code))) {
        error = dbPath + ": " + error;
        if (errorCode != nullptr)
            *errorCode = code;
        return nullptr;
    }
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (mode == OpenMode::CreateOrUpgrade ? SQLITE_OPEN_CREATE : 0)
                    | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    int rc = sqlite3_open_v2(dbPath.c_str(), &raw, flags, CountingVfsName());
    SqlitePtr db(raw);
    bool ok = rc == SQLITE_OK;
    if (!ok) {
        error = db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc);
        code = db ? ErrnoOfConnection(db.get()) : ErrnoOfSqlite(rc, 0);
    } else {
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        ok = sqlite3_exec(db.get(), kRelationPragmas, nullptr, nullptr, nullptr) == SQLITE_OK
                 ? CheckOrInstall(db.get(), schema, mode, error, code)
                 : SqliteFailed(db.get(), error, code);
    }
    if (!ok) {
        error = dbPath + ": " + error;
        if (errorCode != nullptr)
            *errorCode = code != 0 ? code : EPROTO;
        return nullptr;
    }
    return std::unique_ptr<Connection>(new Connection(dbPath, std::move(db)));
}

sqlite3_stmt* Connection::Statement(const char* sql)
{
    auto it = statements_.find(sql);
    if (it != statements_.end())
        return it->second.get();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
        return nullptr;
    return statements_.emplace(sql, StmtPtr(raw)).first->second.get();
}

std::string Connection::LastError() const { return sqlite3_errmsg(db_.get()); }

int Connection::LastErrno() const { return ErrnoOfConnection(db_.get()); }

bool Connection::UpkeepDue(unsigned every)
{
    const bool due = every == 0 || uses_ % every == 0;
    ++uses_;
    return due;
}

void Connection::SetCheckpointOnClose(bool checkpoint)
{
    sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, checkpoint ? 0 : 1, nullptr);
}

} // namespace locmail::db
