#include "StoreFixture.h"

#include "suite/db/TextHeap.h"

namespace {

using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using TemplatesTest = StoreFixture;

int PragmaOf(const std::string& dbPath, const char* pragma, std::string* text = nullptr)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    locmail::db::SqlitePtr owner(db);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr) != SQLITE_OK)
        return -1;
    locmail::db::StmtPtr stmt(raw);
    if (sqlite3_step(raw) != SQLITE_ROW)
        return -1;
    if (text != nullptr)
        *text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    return sqlite3_column_int(raw, 0);
}

TEST_F(TemplatesTest, EveryTemplateFileHasItsRole)
{
    for (const char* name : ms::kTemplateFiles) {
        const std::string path = locmail::PathJoin(templates, name);
        const std::string ext = std::filesystem::path(name).extension();
        ASSERT_TRUE(locmail::FileExists(path)) << name;
        if (ext == ".db") {
            EXPECT_FALSE(locmail::FileExists(path + "-wal")) << "templates carry no WAL";
            std::string mode;
            EXPECT_EQ(PragmaOf(path, "PRAGMA user_version"), 1) << name;
            PragmaOf(path, "PRAGMA journal_mode", &mode);
            EXPECT_EQ(mode, "wal") << name;
        } else if (ext == ".str") {
            EXPECT_EQ(testsupport::ReadFile(path), locmail::db::kHeapHeader) << name;
        } else {
            EXPECT_NE(testsupport::ReadFile(path).find(std::string(name).substr(0, 6)), std::string::npos) << name;
        }
    }
    EXPECT_FALSE(locmail::FileExists(templates + "/msgstat.str"));
}

TEST_F(TemplatesTest, CopiedTemplatesOpenAsReadyRelations)
{
    MakeFolder("inbox");
    const std::string dir = *ms::FolderDirectory(home, "inbox");
    const auto sizeBefore = std::filesystem::file_size(dir + "/msgenv.db");
    msgenv env(&base, dir.c_str(), "msgenv");
    ASSERT_TRUE(env.isOpen()) << env.lastError();
    EXPECT_EQ(std::filesystem::file_size(dir + "/msgenv.db"), sizeBefore) << "no schema had to be installed";
    std::string error;
    EXPECT_TRUE(ms::WriteStoreTemplates(templates, error)) << "rewriting replaces: " << error;
    EXPECT_FALSE(ms::WriteStoreTemplates(tmp / "missing", error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

} // namespace
