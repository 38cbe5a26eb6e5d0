#include "suite/msgstore/FolderPath.h"

#include <gtest/gtest.h>

namespace {

namespace ms = locmail::msgstore;

TEST(FolderPathTest, EncodesEachLevelAsItselfAndItsHex)
{
    struct Case { std::string path, want; } cases[] = {
        {"inbox", "inbox696E626F78"},
        {"Spam\\Old", "Spam5370616D\\Old4F6C64"},
        {"Spam\\\\Old\\", "Spam5370616D\\Old4F6C64"},
        {"\\Spam", "Spam5370616D"},
        {"", ""},
        {"\\\\", ""},
        {"\x80\xFF", "\x80\xFF" "80FF"},
        {std::string("a\x01", 2), std::string("a\x01", 2) + "6101"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ms::EncodeFolderPath(c.path), c.want) << "path \"" << c.path << "\"";
}

TEST(FolderPathTest, FolderDirectoriesStayInsideTheHome)
{
    EXPECT_EQ(ms::FolderDirectory("/h", "Spam\\Old").value_or("?"), "/h/Spam5370616D/Old4F6C64");
    EXPECT_EQ(ms::FolderDirectory("/h/", "inbox").value_or("?"), "/h/inbox696E626F78");
    EXPECT_FALSE(ms::FolderDirectory("/h", "../../etc").has_value());
    EXPECT_FALSE(ms::FolderDirectory("/h", "a/b").has_value());
    EXPECT_FALSE(ms::FolderDirectory("/h", "").has_value());
    EXPECT_FALSE(ms::FolderDirectory("/h", "\\").has_value());
    EXPECT_EQ(ms::FolderDirectory("/h", "..").value_or("?"), "/h/..2E2E") << "a dot level is a plain name";
}

} // namespace
