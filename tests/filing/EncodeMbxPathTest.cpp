#include "filing/EncodeMbxPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The level rules are tabled in tests/suite/msgstore/FolderPathTest.cpp; these
// are the C entry points over them, returning malloc'ed strings.
std::string Taken(char* text)
{
    std::unique_ptr<char, decltype(&std::free)> owner(text, &std::free);
    return text ? text : "<null>";
}

TEST(EncodeMbxPathTest, FolderNamesOnDiskAndHexBytesAsUnsigned)
{
    struct Case {
        const char* text;
        std::string path, hex;
    } cases[] = {
        {"Spam\\Old", "Spam5370616D\\Old4F6C64", "5370616D5C4F6C64"},
        {"\x01\x7F\x80\xFF", "\x01\x7F\x80\xFF" "017F80FF", "017F80FF"},
        {nullptr, "<null>", "<null>"},
    };
    for (const auto& c : cases) {
        const std::string shown = c.text ? c.text : "null";
        EXPECT_EQ(Taken(EncodeMbxPath(c.text)), c.path) << "path \"" << shown << "\"";
        EXPECT_EQ(Taken(HexEncode(c.text)), c.hex) << "text \"" << shown << "\"";
    }
}

} // namespace
