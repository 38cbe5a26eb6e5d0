#include "suite/db/Connection.h"

#include "suite/db/CountingVfs.h"
#include "suite/db/Transaction.h"

#include <sys/stat.h>

#include <cstring>

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

// Installs the schema into a new file, or checks the one that is there. Runs
// under BEGIN IMMEDIATE so two processes opening a new relation at once do not
// both install it.
bool CheckOrInstall(sqlite3* db, const Schema& schema, std::string& error)
{
    int version = 0;
    int tag = 0;
    if (!QueryInt(db, "PRAGMA user_version", version) || !QueryInt(db, "PRAGMA application_id", tag)) {
        error = sqlite3_errmsg(db);
        return false;
    }
    const int want = RelationTag(schema.relation);
    if (version == schema.format && tag == want)
        return true;
    if (version != 0 || tag != 0) {
        error = "not a " + std::string(schema.relation) + " relation of format " + std::to_string(schema.format)
              + " (found format " + std::to_string(version) + ")";
        return false;
    }
    Transaction tx(db);
    if (!tx.began() || !QueryInt(db, "PRAGMA user_version", version)) {
        error = sqlite3_errmsg(db);
        return false;
    }
    if (version != 0)
        return version == schema.format; // someone else installed it meanwhile
    std::string install = std::string(schema.createSql) + "; PRAGMA application_id=" + std::to_string(want)
                        + "; PRAGMA user_version=" + std::to_string(schema.format) + ";";
    if (sqlite3_exec(db, install.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK || !tx.commit()) {
        error = sqlite3_errmsg(db);
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

std::unique_ptr<Connection> Connection::Open(const std::string& dbPath, const Schema& schema, std::string& error)
{
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    int rc = sqlite3_open_v2(dbPath.c_str(), &raw, flags, CountingVfsName());
    SqlitePtr db(raw);
    if (rc != SQLITE_OK) {
        error = dbPath + ": " + (db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    if (sqlite3_exec(db.get(), kRelationPragmas, nullptr, nullptr, nullptr) != SQLITE_OK
        || !CheckOrInstall(db.get(), schema, error)) {
        if (error.empty())
            error = sqlite3_errmsg(db.get());
        error = dbPath + ": " + error;
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

} // namespace locmail::db
