// One open relation database: the SQLite connection on NAME.db, its cached
// prepared statements and the relation's text heap (NAME.str).
//
// Contract: Open sets the connection up once (WAL journal, synchronous=NORMAL,
// busy timeout, small page cache), checks that the file is a relation of the
// expected name and format, installs the schema into a new, empty file and
// upgrades a file of an older format of the same relation in place (see
// Schema::upgrades). After that, Statement() hands out prepared statements
// that live as long as the connection. A connection is used by one thread at
// a time (the cache in diamondBase is per thread). Closing the last
// connection to a relation folds its WAL into the database (SQLite's
// checkpoint on close, two syncs) unless SetCheckpointOnClose(false) was
// called; the WAL then stays beside the database, whole and valid, and the
// next opener reads it.
// Failure modes: Open returns nullptr, an error text and (when asked) an
// errno value (SqliteErrno.h) when the file cannot be opened or created, is a
// symbolic link (ELOOP: a relation is never opened through one), is
// not a relation of this name and format (kForeignRelationErrno), is corrupt
// (kCorruptRelationErrno), or the schema cannot be installed. Statement
// returns nullptr when preparing fails (LastError, LastErrno tell why).
// Nothing throws except std::bad_alloc.
#pragma once

#include "suite/db/SqliteOwners.h"
#include "suite/db/TextHeap.h"

#include <sys/types.h>

#include <memory>
#include <span>
#include <string>
#include <unordered_map>

namespace locmail::db {

// What a relation's file must hold. FORMAT goes to PRAGMA user_version, and
// the relation name's tag to PRAGMA application_id, so a file of another
// relation or of a layout this build does not know is refused instead of
// misread. A file of an older format is brought up to FORMAT by the upgrade
// steps, in one transaction, when the schema has them; without them it is
// refused like a foreign file.
struct Schema {
    const char* relation;  // "mailbox", "msgenv", ...
    int format;            // layout version, 1 and up
    const char* createSql; // tables and indexes of FORMAT, run once in a new file
    // upgrades[i] turns format i + 1 into format i + 2; FORMAT - 1 steps, or none.
    std::span<const char* const> upgrades = {};
};

// ExistingOnly opens a file that must already be a relation of the schema
// (or of an older format it upgrades): never creates the file, never installs
// the schema into an empty one. For files only `locmail init` may make.
enum class OpenMode { CreateOrUpgrade, ExistingOnly };

class Connection {
public:
    static std::unique_ptr<Connection> Open(const std::string& dbPath, const Schema& schema, std::string& error,
                                            int* errorCode = nullptr, OpenMode mode = OpenMode::CreateOrUpgrade);

    sqlite3* handle() const { return db_.get(); }
    const std::string& path() const { return path_; }

    // SQL must be a string with static storage: it is the cache key.
    sqlite3_stmt* Statement(const char* sql);
    std::string LastError() const;
    // The errno value for the most recent failure on this connection (SqliteErrno.h).
    int LastErrno() const;

    // True on the first call and then on every EVERY-th: for upkeep a relation
    // needs now and then rather than on every use (pruning old rows).
    bool UpkeepDue(unsigned every);

    // Whether closing the last connection to the relation folds its WAL in (SQLite's default).
    void SetCheckpointOnClose(bool checkpoint);

    TextHeap& Heap() { return heap_; }

    // False when NAME.db at the path is no longer the file this connection has
    // open (the folder was removed and made again): the connection must not be reused.
    bool StillAtPath() const;

private:
    Connection(std::string path, SqlitePtr db);

    std::string path_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    SqlitePtr db_;
    std::unordered_map<const char*, StmtPtr> statements_;
    TextHeap heap_;
    unsigned uses_ = 0;
};

// The application_id for a relation name ("LM" and a short hash of the name).
int RelationTag(const char* relation);

// SQLite's journal mode and sync level for relations (also used when the
// template files are written, so a copied template is already set up).
inline constexpr const char* kRelationPragmas =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-256; "
    "PRAGMA wal_autocheckpoint=256; PRAGMA journal_size_limit=1048576;";

} // namespace locmail::db
