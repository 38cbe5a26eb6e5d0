#include "TestRelation.h"

#include "suite/db/Transaction.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using dbtest::notes;

// The first column of the first row of SQL; -1 (or "") when there is none.
int Query(notes& rel, const char* sql, std::string* text = nullptr)
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

TEST_F(ConnectionTest, RelationObjectsReuseOneWalConnectionAndItsStatements)
{
    const auto before = diamondBase::OpenCount();
    sqlite3_stmt* first = nullptr;
    for (int i = 0; i < 10; ++i) {
        diamondBase base; // a new handle per use, as a filing makes one
        notes rel(&base, tmp.path());
        ASSERT_TRUE(Insert(rel, i)) << rel.lastError();
        sqlite3_stmt* s = rel.connection()->Statement("INSERT INTO notes VALUES(?, 'x')");
        first = first ? first : s;
        EXPECT_EQ(s, first);
    }
    EXPECT_EQ(diamondBase::OpenCount() - before, 1u);
    diamondBase base;
    notes rel(&base, tmp.path());
    EXPECT_EQ(Query(rel, "SELECT count(*) FROM notes"), 10);
    std::string mode;
    Query(rel, "PRAGMA journal_mode", &mode);
    EXPECT_EQ(mode, "wal");
}

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

TEST_F(ConnectionTest, CacheStaysWithinItsBoundAndKeepsConnectionsInUse)
{
    diamondBase::SetCacheCapacity(2);
    diamondBase base;
    std::vector<std::unique_ptr<notes>> rels;
    for (const char* name : {"a", "b", "c"}) {
        std::filesystem::create_directory(tmp / name);
        rels.push_back(std::make_unique<notes>(&base, tmp / name));
    }
    EXPECT_EQ(diamondBase::CachedCount(), 2u);
    EXPECT_TRUE(Insert(*rels[0], 1)) << "evicted from the cache, still open for its user";
}

TEST_F(ConnectionTest, FileOfAnotherKindIsRefused)
{
    testsupport::TempDir garbage, other;
    testsupport::WriteFile(garbage / "notes.db", std::string(4096, 'x'));
    {
        diamondBase base;
        diaRel made(&base, other.path().c_str(), "notes", locmail::db::Schema{"others", 1, "CREATE TABLE o(x)"});
        ASSERT_TRUE(made.isOpen());
    }
    diamondBase::CloseAll();
    for (const auto* dir : {&garbage, &other}) {
        diamondBase base;
        notes rel(&base, dir->path());
        EXPECT_FALSE(rel.isOpen());
        EXPECT_NE(std::string(rel.lastError()).find(*dir / "notes.db"), std::string::npos) << rel.lastError();
    }
    diamondBase base;
    EXPECT_NE(std::string(notes(&base, other.path()).lastError()).find("not a notes relation"), std::string::npos);
}

TEST_F(ConnectionTest, TransactionRollsBackUnlessCommitted)
{
    diamondBase base;
    notes rel(&base, tmp.path());
    for (bool commit : {false, true}) {
        locmail::db::Transaction tx(rel.connection()->handle());
        ASSERT_TRUE(tx.began());
        ASSERT_TRUE(Insert(rel, 1));
        if (commit) {
            ASSERT_TRUE(tx.commit());
        }
    }
    EXPECT_EQ(Query(rel, "SELECT count(*) FROM notes"), 1);
}

} // namespace
