#include "store/EncodeMbxPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, FreeDeleter>;

TEST(EncodeMbxPathTest, FolderNamesOnDisk)
{
    struct Case {
        const char* path;
        const char* want;
    } cases[] = {
        // The level rules are tabled in tests/suite/msgstore/FolderPathTest.cpp.
        {"my-spam", "my-spam6D792D7370616D"},
        {"Spam\\Old", "Spam5370616D\\Old4F6C64"},
        {"\\\\", ""},
        {"Caf\xC3\xA9", "Caf\xC3\xA9" "436166C3A9"},
    };
    for (const auto& c : cases) {
        CString got(EncodeMbxPath(c.path));
        ASSERT_NE(got, nullptr) << c.path;
        EXPECT_STREQ(got.get(), c.want) << "path \"" << c.path << "\"";
    }
    EXPECT_EQ(EncodeMbxPath(nullptr), nullptr);
}

TEST(EncodeMbxPathTest, HexEncodeTakesBytesAsUnsigned)
{
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"", ""},
        {"Old", "4F6C64"},
        {"\x01\x7F\x80\xFF", "017F80FF"},
        {"\\", "5C"},
    };
    for (const auto& c : cases) {
        CString got(HexEncode(c.text));
        ASSERT_NE(got, nullptr);
        EXPECT_STREQ(got.get(), c.want);
    }
    EXPECT_EQ(HexEncode(nullptr), nullptr);
}

} // namespace
