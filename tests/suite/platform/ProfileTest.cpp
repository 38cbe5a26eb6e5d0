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
    "Dup = third\n";

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::WriteFile(path_, kProfile); }

    // The text copied, checked against the result returned.
    std::string Get(const char* section, const char* key, const char* def, unsigned long size = 256)
    {
        std::vector<char> out(size + 1, '#');
        unsigned long n = GetPrivateProfileStringA(section, key, def, out.data(), size, path_.c_str());
        EXPECT_EQ(out[size], '#') << "wrote past SIZE";
        std::string text(out.data());
        EXPECT_EQ(n, text.size()) << "result does not match the text copied";
        return text;
    }

    // A double-NUL list as its names; RESULT gets what the call returned.
    std::vector<std::string> List(const char* section, unsigned long size, unsigned long& result)
    {
        std::vector<char> out(size + 1, '#');
        result = GetPrivateProfileStringA(section, nullptr, "ignored", out.data(), size, path_.c_str());
        EXPECT_EQ(out[size], '#') << "wrote past SIZE";
        std::vector<std::string> names;
        for (const char* p = out.data(); *p != '\0'; p += names.back().size() + 1)
            names.emplace_back(p);
        return names;
    }

    testsupport::TempDir dir_;
    std::string path_ = dir_ / "test.ini";
};

TEST_F(ProfileTest, StringLookups)
{
    struct Case { const char *section, *key, *def; std::string want; };
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

    path_ = dir_ / "absent.ini";
    EXPECT_EQ(Get("Options", "MailForInvalidLocalUser", "Bounce"), "Bounce");
    EXPECT_EQ(GetPrivateProfileIntA("Numbers", "Plain", 15, path_.c_str()), 15u);
    char out[8];
    EXPECT_EQ(GetPrivateProfileStringA("Options", "Key", "dflt", out, sizeof out, nullptr), 4u);
    EXPECT_STREQ(out, "dflt");
}

TEST_F(ProfileTest, TruncationCutsToSizeMinusOne)
{
    struct Case { const char *key, *def; unsigned long size; std::string want; };
    const Case cases[] = {
        {"MailForInvalidLocalUser", "", 11, "Postmaster"}, {"MailForInvalidLocalUser", "", 10, "Postmaste"},
        {"MailForInvalidLocalUser", "", 1, ""},            {"Missing", "Bounce", 4, "Bou"},
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
    const std::pair<const char*, unsigned int> cases[] = {
        {"42", 42u},     {"-7", static_cast<unsigned int>(-7)}, {"+5", 5u},  {"0x1F", 31u},
        {"0XfF", 255u},  {"12abc", 12u}, {"abc", 9u},          {"", 9u},    {"4294967297", 1u},
        {"\"17\"", 17u}, {"0x", 0u},     {"- 5", 9u},
    };
    std::string text = "[Numbers]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        text += "Key " + std::to_string(i) + "=" + cases[i].first + "\n";
    path_ = dir_ / "numbers.ini";
    testsupport::WriteFile(path_, text);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string key = "KEY " + std::to_string(i);
        EXPECT_EQ(GetPrivateProfileIntA("numbers", key.c_str(), 9, path_.c_str()), cases[i].second)
            << cases[i].first;
    }
    EXPECT_EQ(GetPrivateProfileIntA("Numbers", "Missing", -1, path_.c_str()), static_cast<unsigned int>(-1));
    EXPECT_EQ(GetPrivateProfileIntA("Nowhere", "Key 0", 15, path_.c_str()), 15u);
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "Key 0", 15, path_.c_str()), 15u);
    EXPECT_EQ(GetPrivateProfileIntA("Numbers", nullptr, 15, path_.c_str()), 15u);
}

TEST_F(ProfileTest, NullSectionOrKeyListsNamesOnceInFileOrder)
{
    unsigned long result = 0;
    EXPECT_EQ(List(nullptr, 4096, result), (std::vector<std::string>{"Options", "Spaced Section"}));
    EXPECT_EQ(result, 8u + 15u);
    EXPECT_EQ(List("SPACED SECTION", 4096, result), (std::vector<std::string>{"Key", "AfterBroken"}));
    EXPECT_EQ(result, 4u + 12u);
    auto names = List("Options", 4096, result);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "MailForInvalidLocalUser");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Dup"), 1);
    EXPECT_EQ(names.back(), "Late");

    // "Options\0Spaced Section\0" cut to 12 characters: the second name loses its end.
    std::vector<char> out(12, '#');
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", out.data(), 12, path_.c_str()), 10u);
    EXPECT_EQ(std::string(out.data(), 12), std::string("Options\0Sp\0\0", 12));

    EXPECT_TRUE(List("Missing", 16, result).empty());
    EXPECT_EQ(result, 0u);
    path_ = dir_ / "absent.ini";
    EXPECT_TRUE(List(nullptr, 16, result).empty());
    EXPECT_EQ(result, 0u);
}

TEST(ConfigPathTest, EnvironmentThenOptionThenDefault)
{
    struct Case { const char *env, *option; std::string want; }; // env null: unset
    const Case cases[] = {
        {nullptr, "", "/etc/locmail/qxmta.ini"}, {nullptr, "/opt/opt.ini", "/opt/opt.ini"},
        {"/env/env.ini", "/opt/opt.ini", "/env/env.ini"}, {"", "/opt/opt.ini", "/opt/opt.ini"},
        {"", "", "/etc/locmail/qxmta.ini"},
    };
    for (const Case& c : cases) {
        if (c.env)
            ::setenv("LOCMAIL_CONFIG", c.env, 1);
        else
            ::unsetenv("LOCMAIL_CONFIG");
        locmail::SetConfigOption(c.option);
        EXPECT_EQ(locmail::ConfigFilePath(), c.want) << "env " << (c.env ? c.env : "(unset)") << ", option " << c.option;
    }
    locmail::SetConfigOption("");
}

TEST(ConfigPathTest, BareProfileNamesLiveBesideTheConfigurationFile)
{
    testsupport::TempDir dir;
    std::string config = dir / "qxmta.ini";
    ::setenv("LOCMAIL_CONFIG", config.c_str(), 1);
    const std::pair<const char*, std::string> cases[] = {
        {"qxmta.ini", config}, {"QXMTA.INI", config}, {"other.ini", dir / "other.ini"},
        {"/etc/abs.ini", "/etc/abs.ini"}, {"rel/x.ini", "rel/x.ini"}, {"", ""}, {nullptr, ""},
    };
    for (const auto& [file, want] : cases)
        EXPECT_EQ(locmail::ResolveProfilePath(file), want) << (file ? file : "(null)");

    testsupport::WriteFile(config, "[Gateway]\nQueueDirectory=/var/q\n");
    char out[64];
    EXPECT_EQ(GetPrivateProfileStringA("Gateway", "QueueDirectory", "", out, sizeof out, "qxmta.ini"), 6u);
    EXPECT_STREQ(out, "/var/q");
    ::unsetenv("LOCMAIL_CONFIG");
}

} // namespace
