#include "suite/platform/Config.h"
#include "suite/platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

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
    "Empty =\n"
    "Dup = first\n"
    "dup = second\n"
    "NoEquals\n"
    "Semi = a ; not a comment\n"
    "; Commented = 1\n"
    "Hex = 0x1F\n"
    "Digits = 12abc\n"
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

    testsupport::TempDir dir_;
    std::string path_ = dir_ / "test.ini";
};

TEST_F(ProfileTest, LookupsWithoutRegardToCaseCutToSizeMinusOneAndFallBackToTheDefault)
{
    struct Case { const char *section, *key, *def; unsigned long size; std::string want; };
    const Case cases[] = {
        {"OPTIONS", "mailforinvalidlocaluser", "Bounce", 256, "Postmaster"},
        {"Options", "MailForInvalidLocalUser", "", 10, "Postmaste"},
        {"Options", "MailForInvalidLocalUser", "", 1, ""},
        {"Options", "Missing", "Bounce", 4, "Bou"},
        {"Options", "Quoted", "", 256, "  spaced  "},
        {"Options", "Empty", "default", 256, ""},
        {"Options", "Dup", "", 256, "first"},
        {"Options", "Late", "", 256, "merged"},
        {"Options", "NoEquals", "default", 256, "default"},
        {"Options", "Semi", "", 256, "a ; not a comment"},
        {"Options", "Commented", "default", 256, "default"},
        {"Options", "top", "default", 256, "default"},
        {"Spaced Section", "KEY", "", 256, "v"},
        {"Spaced Section", "AfterBroken", "", 256, "belongs to the section before"},
        {"Missing", "Key", "default", 256, "default"},
        {"Options", "Missing", nullptr, 256, ""},
        {"Options", "Missing", "default \t ", 256, "default"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Get(c.section, c.key, c.def, c.size), c.want) << "[" << c.section << "] " << c.key << " " << c.size;
    EXPECT_EQ(GetPrivateProfileIntA("options", "HEX", 9, path_.c_str()), 31u);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Digits", 9, path_.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Semi", 9, path_.c_str()), 9u);
    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileStringA("Options", "Dup", "", &untouched, 0, path_.c_str()), 0u);
    EXPECT_EQ(untouched, '#');

    path_ = dir_ / "absent.ini";
    EXPECT_EQ(Get("Options", "MailForInvalidLocalUser", "Bounce"), "Bounce");
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Hex", 15, path_.c_str()), 15u);
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

} // namespace
