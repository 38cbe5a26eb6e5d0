// `locmail run` with the Bayesian filter that `locmail init` sets up: a real
// bogofilter, trained with `locmail learn` on a handful of stored messages,
// sorts spam, ham and unsure mail; a filter program that hangs only delays
// its message.
#include "integration/RunSupport.h"
#include "suite/platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sysexits.h>

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
        auto added = inst.Run({"user", "add", "bob@example.org"});
        ASSERT_EQ(added.exitCode, 0) << added.output;
        home = ReportedHome(added.output);
        WriteFile(home + "/antispam.cfg", "BayesianFilterAction=file\r\nWhiteList=boss@example.org\r\n");
    }

    Installation inst;
    std::string home;
};

TEST_F(BogofilterRun, SpamHamAndUnsureGoWhereTheUserChose)
{
    // Mail bob already has (UIDs 1 to 3 spam, 4 to 6 ham) trains his word list.
    for (int i = 0; i < 3; ++i)
        MustRun(inst, {"inject", "-f", "x@spam.example", "bob@example.org"},
                Message("x@spam.example", "cheap casino pills " + std::to_string(i), kSpamBody));
    for (int i = 0; i < 3; ++i)
        MustRun(inst, {"inject", "-f", "ann@example.org", "bob@example.org"},
                Message("ann@example.org", "project meeting " + std::to_string(i), kHamBody));
    MustRun(inst, {"run", "--once"});
    struct Case {
        std::vector<std::string> args;
        int wantExit;
        std::string wantOutput;
    } cases[] = {
        {{"learn", "--spam", "bob@example.org", "inbox", "1", "2", "3"}, 0, "message 3 learnt as spam\n"},
        {{"learn", "--ham", "bob@example.org", "inbox", "4", "5", "6", "2"}, 0, "message 2 learnt as ham\n"},
        {{"learn", "--ham", "--unlearn", "bob@example.org", "inbox", "2"}, 0, "message 2 taken back\n"},
        {{"learn", "--spam", "bob@example.org", "inbox", "99"}, EX_NOINPUT, "no message 99 in the folder 'inbox'"},
        {{"learn", "bob@example.org", "inbox", "1"}, EX_USAGE, "say --spam or --ham"},
        {{"learn", "--spam", "nobody@example.org", "inbox", "1"}, EX_NOUSER, ""},
    };
    for (const auto& c : cases) {
        auto run = inst.Run(c.args);
        EXPECT_EQ(run.exitCode, c.wantExit) << c.args[1] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.wantOutput), std::string::npos) << c.args[1] << "\n" << run.output;
    }
    EXPECT_FALSE(locmail::FileExists(inst.QueueDir() + "/bayesianlearn.pid"));
    EXPECT_FALSE(locmail::FileExists(home + "/bayesian.lock"));

    SetConfig(inst, "BayesianFilter", "Enable", "YES");
    const std::pair<std::string, std::string> explained[] = {
        {Message("x@spam.example", "Casino", kSpamBody),
         "Bayesian filter: spam: filed into \"my-spam\"\nthe delivery ends there: the rules do not run\n"},
        {Message("ann@example.org", "Notes", kHamBody), "Bayesian filter: ham: delivery goes on\n"},
    };
    for (const auto& [message, want] : explained) {
        auto run = inst.Run({"explain", "-f", "x@spam.example", "bob@example.org"}, message);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output.substr(0, want.size()), want);
    }
    EXPECT_EQ(FolderListing(inst, "my-spam").find("Casino"), std::string::npos) << "explain files nothing";
    MustRun(inst, {"inject", "-f", "x@spam.example", "bob@example.org"}, Message("x@spam.example", "Casino", kSpamBody));
    MustRun(inst, {"inject", "-f", "ann@example.org", "bob@example.org"}, Message("ann@example.org", "Notes", kHamBody));
    MustRun(inst, {"inject", "-f", "q@elsewhere.example", "bob@example.org"},
            Message("q@elsewhere.example", "Zebra", "quantum giraffe"));
    MustRun(inst, {"inject", "-f", "boss@example.org", "bob@example.org"},
            Message("boss@example.org", "Bonus", kSpamBody));
    MustRun(inst, {"run", "--once"});

    const auto inbox = InboxSubjects(inst, "bob@example.org");
    EXPECT_EQ(std::vector<std::string>(inbox.begin() + 6, inbox.end()), (std::vector<std::string>{"Notes", "Bonus"}));
    EXPECT_NE(FolderListing(inst, "my-spam").find("Casino"), std::string::npos) << FolderListing(inst, "my-spam");
    EXPECT_NE(FolderListing(inst, "undetermined").find("Zebra"), std::string::npos);
    EXPECT_TRUE(OnChannel(inst, "local").empty());
    EXPECT_FALSE(locmail::FileExists(home + "/bayesian.lock"));
    EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: The message has been filed by Bayesian filter"), 2);
    EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: By passed Bayesian Filter - Matched WhiteList"), 1);
}

TEST_F(BogofilterRun, UntrainedFilterAndHangingProgramStillDeliver)
{
    SetConfig(inst, "BayesianFilter", "Enable", "YES");
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
