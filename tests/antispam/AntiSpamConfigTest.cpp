#include "antispam/CAntiSpamConfig.h"

#include "support/TempDir.h"
#include "support/CaptureLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Snapshot = std::map<std::string, std::string>;

std::string Show(const char* text) { return text ? text : "<null>"; }

Snapshot Take(const CAntiSpamConfig& c)
{
    return {{"XScannerAction", std::to_string(c.XScannerAction)},
            {"BayesianFilterAction", std::to_string(c.BayesianFilterAction)},
            {"XBounceReason", Show(c.GetXBounceReason())},     {"BounceReason", Show(c.GetBounceReason())},
            {"SpamSubject", Show(c.GetSpamSubject())},         {"SystemSpamFolder", Show(c.GetSystemSpamFolder())},
            {"UserSpamFolder", Show(c.GetUserSpamFolder())},   {"UndeterminedFolder", Show(c.GetUndeterminedFolder())}};
}

// The settings of a file without any: the defaults, with CHANGES.
Snapshot Defaults(Snapshot changes = {})
{
    const std::string reason = "Please stop sending spam message to me.";
    Snapshot s{{"XScannerAction", "0"},          {"BayesianFilterAction", "0"},    {"XBounceReason", reason},
               {"BounceReason", reason},         {"SystemSpamFolder", "system-spam"}, {"UserSpamFolder", "my-spam"},
               {"UndeterminedFolder", "undetermined"},
               {"SpamSubject", "***** SPAM MAIL REPORTED BY BAYESIAN FILTER *****"}};
    for (auto& [key, value] : changes)
        s[key] = value;
    return s;
}

class AntiSpamConfigTest : public ::testing::Test {
protected:
    std::unique_ptr<CAntiSpamConfig> Load(const std::string& content)
    {
        testsupport::WriteFile(home / "antispam.cfg", content);
        return std::make_unique<CAntiSpamConfig>(home.path().c_str());
    }

    testsupport::TempDir home;
    locmail::log::CaptureLog log;
};

TEST_F(AntiSpamConfigTest, SettingsLinesAndHostileFiles)
{
    using namespace std::string_literals;
    std::mt19937 random(20240607);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    const std::string megabyte(1 << 20, 'x');
    struct Case {
        const char* name;
        std::string content;
        Snapshot want;
    } cases[] = {
        {"empty file", "", Defaults()},
        {"action word in other case", "XScannerAction=Discard\n", Defaults({{"XScannerAction", "1"}})},
        {"key in other case, word as prefix", "xscanneraction=discarded\n", Defaults({{"XScannerAction", "1"}})},
        {"blank before the value", "XScannerAction = discard\n", Defaults()},
        {"unknown word keeps the last", "XScannerAction=file\nXScannerAction=bogus\n",
         Defaults({{"XScannerAction", "2"}})},
        {"X-Spam-Status", "BayesianFilterAction=X-Spam-Status\n", Defaults({{"BayesianFilterAction", "4"}})},
        {"filed is file", "BayesianFilterAction=filed\n", Defaults({{"BayesianFilterAction", "5"}})},
        {"changesubject", "BayesianFilterAction=ChangeSubject\r\n", Defaults({{"BayesianFilterAction", "3"}})},
        {"empty subject is kept", "SpamSubject=\n", Defaults({{"SpamSubject", ""}})},
        {"XBounceReason is not BounceReason", "XBounceReason=Go away\n",
         Defaults({{"XBounceReason", "Go away"}})},
        {"CRLF and a last line without end", "SystemSpamFolder=Junk\r\nUserSpamFolder=Mine",
         Defaults({{"SystemSpamFolder", "Junk"}, {"UserSpamFolder", "Mine"}})},
        {"blanks kept, line end removed twice", "SpamSubject= [SPAM] \r\r\n",
         Defaults({{"SpamSubject", " [SPAM] "}})},
        {"value after the first =", "UndeterminedFolder=a=b\n", Defaults({{"UndeterminedFolder", "a=b"}})},
        {"only the beginning counts", "SystemSpamFolderOld=Junk\n", Defaults({{"SystemSpamFolder", "Junk"}})},
        {"text after a NUL is dropped", "SpamSubject=ab\0cd\n"s, Defaults({{"SpamSubject", "ab"}})},
        {"comments and lines without =", "#XScannerAction=file\n;XScannerAction=file\nXScannerAction\n",
         Defaults()},
        {"leading blank hides the key", " XScannerAction=file\n", Defaults()},
        {"binary garbage", garbage, Defaults()},
        {"1 MB line, 1 MB value", megabyte + "\nSpamSubject=" + megabyte + "\r\nUserSpamFolder=u",
         Defaults({{"SpamSubject", megabyte}, {"UserSpamFolder", "u"}})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Take(*Load(c.content)), c.want) << c.name;
    EXPECT_EQ(Show(Load(megabyte + "-action=file,Junk\n")->GetHostFolder(megabyte.c_str())), "Junk");
}

TEST_F(AntiSpamConfigTest, HostActionsAndWhiteLists)
{
    auto config = Load("XScannerAction=discard\n"
                       "XBounceReason=Default reason\n"
                       "rbl-one-action=bounce,Stop it\n"
                       "RBL-ONE-action=file\n"
                       "two-action=file,Junk,Old\n"
                       "three-action=Bounce\n"
                       "four-action=ignore,ignored\n"
                       "five-action=nonsense\n"
                       "WhiteList-action=file,Junk\n"
                       "-action=file,\n"
                       "WhiteList=*@example.com,bob@*\r\n#IPWhiteList=1.2.3.4\nIPWhiteList=10.0.0.1-10.0.0.9\n");
    struct Case {
        const char* host;
        bool has;
        int action;
        std::string folder;
        std::string reason;
    } cases[] = {
        {"rbl-one", true, 2, "<null>", "Default reason"},
        {"two", true, 2, "Junk,Old", "Default reason"},
        {"three", true, 3, "system-spam", "<null>"},
        {"four", true, 0, "system-spam", "Default reason"},
        {"five", false, 1, "system-spam", "Default reason"},
        {"WhiteList", false, 1, "system-spam", "Default reason"},
        {"", true, 2, "", "Default reason"},
        {"unknown", false, 1, "system-spam", "Default reason"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(config->HasHostAction(c.host), c.has) << c.host;
        EXPECT_EQ(config->GetHostAction(c.host), c.action) << c.host;
        EXPECT_EQ(Show(config->GetHostFolder(c.host)), c.folder) << c.host;
        EXPECT_EQ(Show(config->GetHostBounceReason(c.host)), c.reason) << c.host;
    }
    EXPECT_FALSE(config->HasHostAction(nullptr));
    EXPECT_TRUE(config->IsWhiteListed("bob@other.org"));
    EXPECT_TRUE(config->IsIPWhiteListed("10.0.0.9"));
    EXPECT_FALSE(config->IsIPWhiteListed("1.2.3.4")) << "a commented line";

    auto first = Load("rbl-one-action=bounce,Stop it\n");
    EXPECT_EQ(Show(first->GetHostBounceReason("RBL-one")), "Stop it");
    EXPECT_TRUE(first->SetHostAction("RBL-ONE", 3, nullptr));
    EXPECT_EQ(Show(first->GetHostBounceReason("rbl-one")), "<null>");
    EXPECT_FALSE(first->IsWhiteListed("ann@example.com")) << "no lists in this file";
}

TEST_F(AntiSpamConfigTest, LogLinesAndPath)
{
    const std::string dir = home.path().string();
    auto lines = [&](const std::string& homeDir) {
        log.Clear();
        CAntiSpamConfig config(homeDir.c_str());
        return log.Lines();
    };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(lines(dir + "/missing"), (Lines{
        "5 AntiSpam Config: Loading antispam configuration file: " + dir + "/missing/antispam.cfg",
        "5 AntiSpam Config: Done"}));

    testsupport::WriteFile(home / "antispam.cfg", "XScannerAction=file\nBayesianFilterAction=maybe\nx-action=y\n");
    Lines got = lines(dir);
    EXPECT_EQ(got, (Lines{got[0],
                          "2 AntiSpam Config: Unknown action in line 2 of " + dir + "/antispam.cfg; line ignored",
                          "2 AntiSpam Config: Unknown action in line 3 of " + dir + "/antispam.cfg; line ignored",
                          "5 AntiSpam Config: Done"}));

    log.Clear();
    CAntiSpamConfig none(nullptr);
    EXPECT_EQ(log.Lines()[0], "5 AntiSpam Config: Loading antispam configuration file: (null)");
    EXPECT_FALSE(none.LoadConfigFile());

    // A missing file or a directory loads nothing; a later load reads the file afresh over the settings held.
    std::filesystem::remove(home / "antispam.cfg");
    CAntiSpamConfig later(dir.c_str());
    EXPECT_FALSE(later.LoadConfigFile());
    std::filesystem::create_directory(home / "antispam.cfg");
    EXPECT_FALSE(later.LoadConfigFile());
    std::filesystem::remove(home / "antispam.cfg");
    testsupport::WriteFile(home / "antispam.cfg", "XScannerAction=bounce\n");
    EXPECT_TRUE(later.LoadConfigFile());
    EXPECT_EQ(later.GetXScannerAction(), 3);
}

} // namespace
