#include "StoreFixture.h"

namespace {

using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using TemplatesTest = StoreFixture;

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
