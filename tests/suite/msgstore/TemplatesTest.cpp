#include "StoreFixture.h"

#include "suite/db/TextHeap.h"

namespace {

using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using TemplatesTest = StoreFixture;

TEST_F(TemplatesTest, EveryTemplateFileHasItsRole)
{
    for (const char* name : ms::kTemplateFiles) {
        const std::string path = locmail::PathJoin(templates, name);
        const std::string ext = std::filesystem::path(name).extension();
        const std::string text = testsupport::ReadFile(path);
        if (ext == ".db") {
            EXPECT_FALSE(locmail::FileExists(path + "-wal")) << "templates carry no WAL";
            // SQLite's header: bytes 18-19 are 2 in WAL mode, 60-63 the user version.
            ASSERT_GT(text.size(), 64u) << name;
            EXPECT_EQ(text.substr(18, 2), "\x02\x02") << name;
            EXPECT_EQ(text.substr(60, 4), std::string("\0\0\0\x01", 4)) << name;
        } else if (ext == ".str") {
            EXPECT_EQ(text, locmail::db::kHeapHeader) << name;
        } else {
            EXPECT_NE(text.find(std::string(name).substr(0, 6)), std::string::npos) << name;
        }
    }
    EXPECT_FALSE(locmail::FileExists(templates + "/msgstat.str"));
}

TEST_F(TemplatesTest, CopiedTemplatesOpenAsReadyRelations)
{
    MakeFolder("inbox");
    const std::string dir = FolderDir("inbox");
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
