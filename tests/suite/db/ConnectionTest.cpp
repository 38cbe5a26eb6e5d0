#include "TestRelation.h"

#include "suite/db/Transaction.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using dbtest::notes;

int Count(notes& rel)
{
    sqlite3_stmt* s = rel.connection()->Statement("SELECT count(*) FROM notes");
    locmail::db::StatementUse use(s);
    return s != nullptr && sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
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
    void TearDown() override
    {
        diamondBase::SetCacheCapacity(0);
        diamondBase::CloseAll();
    }
    testsupport::TempDir tmp;
};

TEST_F(ConnectionTest, RelationObjectsReuseOneConnectionAndItsStatements)
{
    diamondBase::CloseAll();
    const auto before = diamondBase::OpenCount();
    sqlite3_stmt* first = nullptr;
    for (int i = 0; i < 10; ++i) {
        diamondBase base; // a new handle per use, as a filing makes one
        notes rel(&base, tmp.path());
        ASSERT_TRUE(rel.isOpen()) << rel.lastError();
        ASSERT_TRUE(Insert(rel, i));
        sqlite3_stmt* s = rel.connection()->Statement("INSERT INTO notes VALUES(?, 'x')");
        if (first == nullptr)
            first = s;
        EXPECT_EQ(s, first);
    }
    EXPECT_EQ(diamondBase::OpenCount() - before, 1u);
    diamondBase base;
    notes rel(&base, tmp.path());
    EXPECT_EQ(Count(rel), 10);
}

TEST_F(ConnectionTest, NewFileIsSetUpInWalMode)
{
    diamondBase base;
    notes rel(&base, tmp.path());
    ASSERT_TRUE(rel.isOpen());
    sqlite3_stmt* s = rel.connection()->Statement("PRAGMA journal_mode");
    locmail::db::StatementUse use(s);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal");
}

TEST_F(ConnectionTest, ReplacedFileIsOpenedAfreshNotWrittenThroughTheOldHandle)
{
    const std::string dir = tmp / "folder";
    std::filesystem::create_directory(dir);
    diamondBase base;
    {
        notes rel(&base, dir);
        ASSERT_TRUE(Insert(rel, 1));
    }
    std::filesystem::remove_all(dir); // the folder is removed and made again
    std::filesystem::create_directory(dir);
    const auto before = diamondBase::OpenCount();
    notes rel(&base, dir);
    ASSERT_TRUE(rel.isOpen());
    EXPECT_EQ(diamondBase::OpenCount() - before, 1u);
    EXPECT_EQ(Count(rel), 0);
    ASSERT_TRUE(Insert(rel, 2));
    EXPECT_TRUE(std::filesystem::exists(dir + "/notes.db"));
}

TEST_F(ConnectionTest, CacheStaysWithinItsBoundAndKeepsConnectionsInUse)
{
    diamondBase::CloseAll();
    diamondBase::SetCacheCapacity(2);
    diamondBase base;
    std::vector<std::unique_ptr<notes>> rels;
    for (const char* name : {"a", "b", "c"}) {
        std::filesystem::create_directory(tmp / name);
        rels.push_back(std::make_unique<notes>(&base, tmp / name));
        ASSERT_TRUE(rels.back()->isOpen());
    }
    EXPECT_EQ(diamondBase::CachedCount(), 2u);
    EXPECT_TRUE(Insert(*rels[0], 1)) << "evicted from the cache, still open for its user";
}

TEST_F(ConnectionTest, FileOfAnotherKindIsRefused)
{
    struct Case {
        const char* name;
        std::string contents;
    } cases[] = {
        {"garbage", std::string(4096, 'x')},
        {"other relation", ""},
    };
    const locmail::db::Schema other{"others", 1, "CREATE TABLE o(x)"};
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        if (c.contents.empty()) {
            diamondBase base;
            diaRel made(&base, dir.path().c_str(), "notes", other);
            ASSERT_TRUE(made.isOpen()) << c.name;
            diamondBase::CloseAll();
        } else {
            testsupport::WriteFile(dir / "notes.db", c.contents);
        }
        diamondBase base;
        notes rel(&base, dir.path());
        EXPECT_FALSE(rel.isOpen()) << c.name;
        EXPECT_NE(std::string(rel.lastError()).find("notes.db"), std::string::npos) << rel.lastError();
    }
}

TEST_F(ConnectionTest, TransactionRollsBackUnlessCommitted)
{
    diamondBase base;
    notes rel(&base, tmp.path());
    {
        locmail::db::Transaction tx(rel.connection()->handle());
        ASSERT_TRUE(tx.began());
        ASSERT_TRUE(Insert(rel, 1));
    }
    EXPECT_EQ(Count(rel), 0);
    {
        locmail::db::Transaction tx(rel.connection()->handle());
        ASSERT_TRUE(Insert(rel, 1));
        ASSERT_TRUE(tx.commit());
    }
    EXPECT_EQ(Count(rel), 1);
}

} // namespace
