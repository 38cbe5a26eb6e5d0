// `locmail run` with the Bayesian filter that `locmail init` sets up: a real
// bogofilter, trained here on a handful of messages, sorts spam, ham and
// unsure mail; a filter program that hangs only delays its message.
#include "integration/RunSupport.h"
#include "suite/platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace testsupport;

std::string Message(const std::string& from, const std::string& subject, const std::string& body)
{
    return "From: " + from + "\r\nTo: bob@example.org\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n";
}

const std::string kSpamBody = "cheap pills casino winner money offer, buy now";
const std::string kHamBody = "notes from the project meeting, see you at the office tomorrow";

bool HaveBogofilter() { return locmail::Process::Start({"bogofilter", "-V"}).Wait() == 0; }

std::string FolderListing(const Installation& inst, const std::string& folder)
{
    return inst.Run({"store", "ls", "bob@example.org", folder}).output;
}

class BogofilterRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveBogofilter())
            GTEST_SKIP() << "bogofilter is not installed (scripts/setup-deps installs it)";
        SetConfig(inst, "BayesianFilter", "Enable", "YES");
        auto added = inst.Run({"user", "add", "bob@example.org"});
        ASSERT_EQ(added.exitCode, 0) << added.output;
        home = ReportedHome(added.output);
        WriteFile(home + "/antispam.cfg", "BayesianFilterAction=file\r\nWhiteList=boss@example.org\r\n");
    }
    void Train(const char* flag, const std::string& text)
    {
        auto run = RunProgram({"bogofilter", "-d", home + "/.bayesian", flag}, text);
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    Installation inst;
    std::string home;
};

TEST_F(BogofilterRun, SpamHamAndUnsureGoWhereTheUserChose)
{
    for (int i = 0; i < 3; ++i) {
        Train("-s", Message("x@spam.example", "cheap casino pills " + std::to_string(i), kSpamBody));
        Train("-n", Message("ann@example.org", "project meeting " + std::to_string(i), kHamBody));
    }
    MustRun(inst, {"inject", "-f", "x@spam.example", "bob@example.org"}, Message("x@spam.example", "Casino", kSpamBody));
    MustRun(inst, {"inject", "-f", "ann@example.org", "bob@example.org"}, Message("ann@example.org", "Notes", kHamBody));
    MustRun(inst, {"inject", "-f", "q@elsewhere.example", "bob@example.org"},
            Message("q@elsewhere.example", "Zebra", "quantum giraffe"));
    MustRun(inst, {"inject", "-f", "boss@example.org", "bob@example.org"},
            Message("boss@example.org", "Bonus", kSpamBody));
    MustRun(inst, {"run", "--once"});

    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (std::vector<std::string>{"Notes", "Bonus"}));
    EXPECT_NE(FolderListing(inst, "my-spam").find("Casino"), std::string::npos) << FolderListing(inst, "my-spam");
    EXPECT_NE(FolderListing(inst, "undetermined").find("Zebra"), std::string::npos);
    EXPECT_TRUE(OnChannel(inst, "local").empty());
    EXPECT_FALSE(locmail::FileExists(home + "/bayesian.lock"));
    EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: The message has been filed by Bayesian filter"), 2);
    EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: By passed Bayesian Filter - Matched WhiteList"), 1);
}

TEST_F(BogofilterRun, UntrainedFilterAndHangingProgramStillDeliver)
{
    // No word list yet: bogofilter ends with its error code and the message goes on to the inbox.
    MustRun(inst, {"inject", "-f", "x@spam.example", "bob@example.org"}, Message("x@spam.example", "First", kSpamBody));
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: An error has occurred while running the Bayesian filter"),
              1);

    SetConfig(inst, "BayesianFilter", "CommandLine", "sleep 600");
    SetConfig(inst, "BayesianFilter", "ProgramTimeOut", "1");
    MustRun(inst, {"inject", "-f", "x@spam.example", "bob@example.org"}, Message("x@spam.example", "Second", kSpamBody));
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(CountLogged(inst, "Bayesian filter", "1 Bayesian filter: RunCommand - sleep did not end within 1 seconds"),
              1);
}

} // namespace
