#include "suite/platform/Config.h"
#include "suite/platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kProfile =
    "; leading comment\n"
    "top=before any section\n"
    "[Options]\n"
    "MailForInvalidLocalUser = Postmaster   \r\n"
    "Quoted = \"  spaced  \"\n"
    "Half = \"open\n"
    "Empty =\n"
    "Dup = first\n"
    "dup = second\n"
    "NoEquals\n"
    "  Indented\t=\tyes\n"
    "Semi = a ; not a comment\n"
    "; Commented = 1\n"
    "#Hashed = 1\n"
    "=no key\n"
    "[  Spaced Section  ] trailing text\n"
    "Key=v\n"
    "[Broken\n"
    "AfterBroken=belongs to the section before\n"
    "[options]\n"
    "Late = merged\n"
    "Dup = third\n"
    "[Numbers]\n"
    "Plain=42\n"
    "Neg=-7\n"
    "Plus=+5\n"
    "Hex=0x1F\n"
    "HexUpper=0XfF\n"
    "Lead=12abc\n"
    "Word=abc\n"
    "Blank=\n"
    "Wraps=4294967297\n"
    "Quoted=\"17\"\n"
    "ZeroX=0x\n"
    "Spaced Sign=- 5\n";

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = dir_ / "test.ini";
        testsupport::WriteFile(path_, kProfile);
    }

    // The text copied and the result, checked against each other.
    std::string Get(const char* section, const char* key, const char* def, unsigned long size = 256)
    {
        std::vector<char> out(size + 1, '#');
        unsigned long n = GetPrivateProfileStringA(section, key, def, out.data(), size, path_.c_str());
        EXPECT_EQ(out[size], '#') << "wrote past SIZE";
        std::string text(out.data());
        EXPECT_EQ(n, text.size()) << "result does not match the text copied";
        return text;
    }

    // A double-NUL list as its names, with the result it came with.
    std::vector<std::string> List(const char* section, unsigned long size, unsigned long* result)
    {
        std::vector<char> out(size + 1, '#');
        *result = GetPrivateProfileStringA(section, nullptr, "ignored", out.data(), size, path_.c_str());
        EXPECT_EQ(out[size], '#') << "wrote past SIZE";
        std::vector<std::string> names;
        for (const char* p = out.data(); *p != '\0'; p += names.back().size() + 1)
            names.emplace_back(p);
        return names;
    }

    testsupport::TempDir dir_;
    std::string path_;
};

TEST_F(ProfileTest, StringLookups)
{
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        std::string want;
    };
    const Case cases[] = {
        {"Options", "MailForInvalidLocalUser", "Bounce", "Postmaster"},
        {"OPTIONS", "mailforinvalidlocaluser", "Bounce", "Postmaster"},
        {"Options", "Quoted", "", "  spaced  "},
        {"Options", "Half", "", "\"open"},
        {"Options", "Empty", "default", ""},
        {"Options", "Dup", "", "first"},
        {"Options", "Late", "", "merged"},
        {"Options", "NoEquals", "default", "default"},
        {"Options", "Indented", "", "yes"},
        {"Options", "Semi", "", "a ; not a comment"},
        {"Options", "Commented", "default", "default"},
        {"Options", "#Hashed", "default", "default"},
        {"Options", "top", "default", "default"},
        {"Spaced Section", "KEY", "", "v"},
        {"Spaced Section", "AfterBroken", "", "belongs to the section before"},
        {"Broken", "AfterBroken", "default", "default"},
        {"Missing", "Key", "default", "default"},
        {"Options", "Missing", nullptr, ""},
        {"Options", "Missing", "default \t ", "default"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Get(c.section, c.key, c.def), c.want) << "[" << c.section << "] " << c.key;
}

TEST_F(ProfileTest, MissingFileGivesDefaults)
{
    path_ = dir_ / "absent.ini";
    EXPECT_EQ(Get("Options", "MailForInvalidLocalUser", "Bounce"), "Bounce");
    EXPECT_EQ(GetPrivateProfileIntA("Numbers", "Plain", 15, path_.c_str()), 15u);
    char out[8];
    EXPECT_EQ(GetPrivateProfileStringA("Options", "Key", "dflt", out, sizeof out, nullptr), 4u);
    EXPECT_STREQ(out, "dflt");
}

TEST_F(ProfileTest, TruncationCutsToSizeMinusOne)
{
    struct Case {
        const char* key;
        const char* def;
        unsigned long size;
        std::string want;
    };
    const Case cases[] = {
        {"MailForInvalidLocalUser", "", 11, "Postmaster"},
        {"MailForInvalidLocalUser", "", 10, "Postmaste"},
        {"MailForInvalidLocalUser", "", 2, "P"},
        {"MailForInvalidLocalUser", "", 1, ""},
        {"Missing", "Bounce", 4, "Bou"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Get("Options", c.key, c.def, c.size), c.want) << c.key << " size " << c.size;

    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileStringA("Options", "Dup", "", &untouched, 0, path_.c_str()), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(GetPrivateProfileStringA("Options", "Dup", "", nullptr, 10, path_.c_str()), 0u);
}

TEST_F(ProfileTest, IntegerValues)
{
    struct Case {
        const char* key;
        int def;
        unsigned int want;
    };
    const Case cases[] = {
        {"Plain", 9, 42u},
        {"Neg", 9, static_cast<unsigned int>(-7)},
        {"Plus", 9, 5u},
        {"Hex", 9, 31u},
        {"HexUpper", 9, 255u},
        {"Lead", 9, 12u},
        {"Word", 9, 9u},
        {"Blank", 9, 9u},
        {"Wraps", 9, 1u},
        {"Quoted", 9, 17u},
        {"ZeroX", 9, 0u},
        {"Spaced Sign", 9, 9u},
        {"Missing", -1, static_cast<unsigned int>(-1)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetPrivateProfileIntA("numbers", c.key, c.def, path_.c_str()), c.want) << c.key;
    EXPECT_EQ(GetPrivateProfileIntA("Nowhere", "Plain", 15, path_.c_str()), 15u);
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "Plain", 15, path_.c_str()), 15u);
    EXPECT_EQ(GetPrivateProfileIntA("Numbers", nullptr, 15, path_.c_str()), 15u);
}

TEST_F(ProfileTest, NullSectionListsSectionNamesOnce)
{
    unsigned long result = 0;
    auto names = List(nullptr, 4096, &result);
    EXPECT_EQ(names, (std::vector<std::string>{"Options", "Spaced Section", "Numbers"}));
    EXPECT_EQ(result, std::string("Options").size() + 1 + std::string("Spaced Section").size() + 1 +
                          std::string("Numbers").size() + 1);
}

TEST_F(ProfileTest, NullKeyListsKeyNamesInFileOrder)
{
    unsigned long result = 0;
    auto names = List("SPACED SECTION", 4096, &result);
    EXPECT_EQ(names, (std::vector<std::string>{"Key", "AfterBroken"}));
    EXPECT_EQ(result, 4u + 12u);

    names = List("Options", 4096, &result);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "MailForInvalidLocalUser");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Dup"), 1);
    EXPECT_EQ(names.back(), "Late");
}

TEST_F(ProfileTest, ListThatDoesNotFitEndsInTwoTerminators)
{
    // "Options\0Spaced Section\0..." cut to 12 characters: the second name loses its end.
    std::vector<char> out(12, '#');
    unsigned long n = GetPrivateProfileStringA(nullptr, nullptr, "", out.data(), 12, path_.c_str());
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(out.data(), 12), std::string("Options\0Sp\0\0", 12));

    unsigned long result = 0;
    EXPECT_TRUE(List("Missing", 16, &result).empty());
    EXPECT_EQ(result, 0u);
    path_ = dir_ / "absent.ini";
    EXPECT_TRUE(List(nullptr, 16, &result).empty());
    EXPECT_EQ(result, 0u);
}

TEST(ProfileResolveTest, BareNamesLiveBesideTheConfigurationFile)
{
    testsupport::TempDir dir;
    std::string config = dir / "qxmta.ini";
    ::setenv("LOCMAIL_CONFIG", config.c_str(), 1);
    struct Case {
        const char* file;
        std::string want;
    };
    const Case cases[] = {
        {"qxmta.ini", config},
        {"QXMTA.INI", config},
        {"other.ini", dir / "other.ini"},
        {"/etc/abs.ini", "/etc/abs.ini"},
        {"rel/x.ini", "rel/x.ini"},
        {"", ""},
        {nullptr, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(locmail::ResolveProfilePath(c.file), c.want) << (c.file ? c.file : "(null)");

    testsupport::WriteFile(config, "[Gateway]\nQueueDirectory=/var/q\n");
    char out[64];
    EXPECT_EQ(GetPrivateProfileStringA("Gateway", "QueueDirectory", "", out, sizeof out, "qxmta.ini"), 6u);
    EXPECT_STREQ(out, "/var/q");
    ::unsetenv("LOCMAIL_CONFIG");
}

} // namespace
