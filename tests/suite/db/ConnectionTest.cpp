#include "TestRelation.h"

#include "suite/db/CountingVfs.h"
#include "suite/db/SqliteErrno.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using dbtest::notes;

// The first column of the first row of SQL; -1 (or "") when there is none.
int Query(diaRel& rel, const char* sql, std::string* text = nullptr)
{
    sqlite3_stmt* s = rel.connection()->Statement(sql);
    locmail::db::StatementUse use(s);
    if (s == nullptr || sqlite3_step(s) != SQLITE_ROW)
        return -1;
    if (text != nullptr)
        *text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    return sqlite3_column_int(s, 0);
}

bool Insert(notes& rel, int k)
{
    sqlite3_stmt* s = rel.connection()->Statement("INSERT INTO notes VALUES(?, 'x')");
    locmail::db::StatementUse use(s);
    sqlite3_bind_int(s, 1, k);
    return s != nullptr && sqlite3_step(s) == SQLITE_DONE;
}

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { diamondBase::CloseAll(); }
    void TearDown() override
    {
        diamondBase::SetCacheCapacity(0);
        diamondBase::CloseAll();
    }
    testsupport::TempDir tmp;
};

TEST_F(ConnectionTest, ReplacedFileIsOpenedAfreshNotWrittenThroughTheOldHandle)
{
    const std::string dir = tmp / "folder";
    std::filesystem::create_directory(dir);
    diamondBase base;
    ASSERT_TRUE(Insert(*std::make_unique<notes>(&base, dir), 1));
    std::filesystem::remove_all(dir); // the folder is removed and made again
    std::filesystem::create_directory(dir);
    const auto before = diamondBase::OpenCount();
    notes rel(&base, dir);
    EXPECT_EQ(diamondBase::OpenCount() - before, 1u);
    EXPECT_EQ(Query(rel, "SELECT count(*) FROM notes"), 0);
    ASSERT_TRUE(Insert(rel, 2));
    EXPECT_TRUE(std::filesystem::exists(dir + "/notes.db"));
}

// Evicting must not cost syncs: the WAL stays, valid, and the next opener
// reads it. CloseAll folds the WAL of every cached connection in.
TEST_F(ConnectionTest, CacheStaysWithinItsBoundEvictsAndCommitsWithoutSyncingAndCloseAllFoldsTheWal)
{
    diamondBase::SetCacheCapacity(2);
    diamondBase base;
    std::vector<std::unique_ptr<notes>> rels;
    for (const char* name : {"a", "b", "c"}) {
        std::filesystem::create_directory(tmp / name);
        rels.push_back(std::make_unique<notes>(&base, tmp / name));
        ASSERT_TRUE(Insert(*rels.back(), 1));
    }
    EXPECT_EQ(diamondBase::CachedCount(), 2u);
    const auto syncs = locmail::db::SqliteSyncCount();
    EXPECT_TRUE(Insert(*rels[0], 2)) << "evicted from the cache, still open for its user";
    rels.clear(); // "a" closes now
    EXPECT_EQ(locmail::db::SqliteSyncCount(), syncs) << "synchronous=NORMAL: WAL commits and closes make no fsync";
    EXPECT_TRUE(std::filesystem::exists(tmp / "a/notes.db-wal"));
    EXPECT_EQ(Query(*std::make_unique<notes>(&base, tmp / "a"), "SELECT count(*) FROM notes"), 2);

    diamondBase::CloseAll(); // "a" and "c" are cached; "b" was evicted by "a" and keeps its WAL
    EXPECT_EQ((std::vector<bool>{std::filesystem::exists(tmp / "a/notes.db-wal"),
                                 std::filesystem::exists(tmp / "b/notes.db-wal"),
                                 std::filesystem::exists(tmp / "c/notes.db-wal")}),
              (std::vector<bool>{false, true, false}));
    EXPECT_GE(locmail::db::SqliteSyncCount(), syncs + 4) << "each checkpoint syncs its WAL and its database";
}

// Files that cannot be relations of this kind and format are refused with
// the errno value the store classes them by; an older format is upgraded.
TEST_F(ConnectionTest, FilesOfAnotherKindAreRefusedAndAnOlderFormatIsUpgraded)
{
    const char* const upgrade[] = {"ALTER TABLE notes ADD COLUMN w TEXT"};
    const locmail::db::Schema v2{"notes", 2, "CREATE TABLE notes(k INTEGER PRIMARY KEY, v TEXT, w TEXT)", upgrade};
    const locmail::db::Schema v2NoUpgrade{"notes", 2, v2.createSql};
    auto make = [&](const std::string& dir, const locmail::db::Schema& schema) {
        std::filesystem::create_directories(dir);
        diamondBase base;
        diaRel made(&base, dir.c_str(), "notes", schema);
        ASSERT_TRUE(made.isOpen()) << made.lastError();
    };
    std::filesystem::create_directories(tmp / "garbage");
    testsupport::WriteFile(tmp / "garbage/notes.db", std::string(4096, 'x'));
    make(tmp / "other", locmail::db::Schema{"others", 1, "CREATE TABLE o(x)"});
    make(tmp / "newer", locmail::db::Schema{"notes", 3, "CREATE TABLE notes(k)"});
    make(tmp / "older", dbtest::kNotesSchema);
    std::filesystem::create_directories(tmp / "dir/notes.db");
    diamondBase::CloseAll();
    struct Case {
        std::string dir;
        const locmail::db::Schema* schema;
        int errorCode; // 0: opens
    } cases[] = {
        {tmp / "garbage", &v2, locmail::db::kCorruptRelationErrno},
        {tmp / "other", &v2, locmail::db::kForeignRelationErrno},
        {tmp / "newer", &v2, locmail::db::kForeignRelationErrno},
        {tmp / "older", &v2NoUpgrade, locmail::db::kForeignRelationErrno},
        {tmp / "older", &v2, 0},
        {tmp / "dir", &v2, EISDIR},
        {tmp / "missing", &v2, ENOENT},
    };
    for (const auto& c : cases) {
        diamondBase base;
        diaRel rel(&base, c.dir.c_str(), "notes", *c.schema);
        EXPECT_EQ(rel.isOpen() ? 0 : rel.openErrno(), c.errorCode) << c.dir << ": " << rel.lastError();
        if (!rel.isOpen()) {
            EXPECT_NE(std::string(rel.lastError()).find(c.dir + "/notes.db"), std::string::npos) << rel.lastError();
        }
    }
    diamondBase base;
    diaRel upgraded(&base, (tmp / "older").c_str(), "notes", v2);
    EXPECT_EQ(sqlite3_exec(upgraded.connection()->handle(), "INSERT INTO notes VALUES(1, 'v', 'w')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_EQ(Query(upgraded, "PRAGMA user_version"), 2);
}

} // namespace
