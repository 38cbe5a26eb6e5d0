// `locmail run` with the Bayesian filter of `locmail init`: a real bogofilter
// lets mail through while it has no word list, and once `locmail learn` has
// trained it, sorts spam, ham and unsure mail as `locmail explain` says.
#include "integration/RunSupport.h"

#include <gtest/gtest.h>

#include <sysexits.h>

namespace {

using namespace testsupport;

const std::string kSpam = "cheap pills casino winner money offer, buy now";
const std::string kHam = "notes from the project meeting, see you at the office tomorrow";

std::string Message(const std::string& from, const std::string& subject, const std::string& body)
{
    return "From: " + from + "\r\nTo: bob@example.org\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n";
}

TEST(BogofilterRun, UntrainedItDeliversTrainedItSortsSpamHamAndUnsure)
{
    if (locmail::Process::Start({"bogofilter", "-V"}).Wait() != 0)
        GTEST_SKIP() << "bogofilter is not installed (scripts/setup-deps installs it)";
    Installation inst;
    const auto added = inst.Run({"user", "add", "bob@example.org"});
    ASSERT_EQ(added.exitCode, 0) << added.output;
    WriteFile(ReportedHome(added.output) + "/antispam.cfg", "BayesianFilterAction=file\r\n");
    SetConfig(inst, "BayesianFilter", "Enable", "YES");
    const auto inject = [&](const std::string& from, const std::string& subject, const std::string& body) {
        MustRun(inst, {"inject", "-f", from, "bob@example.org"}, Message(from, subject, body));
    };
    for (const std::string n : {"1", "2", "3"}) {
        inject("x@spam.example", "casino" + n, kSpam);   // UIDs 1, 3, 5
        inject("ann@example.org", "meeting" + n, kHam);  // UIDs 2, 4, 6
    }
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org").size(), 6u);

    RunSteps(inst, {
        {{"learn", "--spam", "bob@example.org", "inbox", "1", "3", "5", "2"}, 0, {"message 5 learnt as spam\n"}},
        {{"learn", "--spam", "--unlearn", "bob@example.org", "inbox", "2"}, 0, {"message 2 taken back\n"}},
        {{"learn", "--ham", "bob@example.org", "inbox", "2", "4", "6"}, 0, {"message 6 learnt as ham\n"}},
        {{"learn", "--spam", "bob@example.org", "inbox", "99"}, EX_NOINPUT, {"no message 99 in the folder 'inbox'"}},
        {{"learn", "bob@example.org", "inbox", "1"}, EX_USAGE, {"say --spam or --ham"}},
        {{"learn", "--spam", "nobody@example.org", "inbox", "1"}, EX_NOUSER, {""}},
    });

    const auto explain = [&](const std::string& text) {
        const std::string out = inst.Run({"explain", "bob@example.org"}, text).output;
        const std::string unmarked = "X Scanner: no spam mark in the header\n";
        return out.starts_with(unmarked) ? out.substr(unmarked.size()) : "(the X Scanner acted) " + out;
    };
    EXPECT_TRUE(explain(Message("x@spam.example", "Casino", kSpam))
                    .starts_with("Bayesian filter: spam: filed into \"my-spam\"\nthe delivery ends there: the rules"));
    EXPECT_TRUE(explain(Message("ann@example.org", "Notes", kHam)).starts_with("Bayesian filter: ham:"));
    inject("x@spam.example", "Casino", kSpam);
    inject("ann@example.org", "Notes", kHam);
    inject("q@elsewhere.example", "Zebra", "quantum giraffe");
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org").size(), 7u) << "explain files nothing";
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org").back(), "Notes");
    for (const auto& [folder, subject] : {std::pair{"my-spam", "Casino"}, {"undetermined", "Zebra"}})
        EXPECT_NE(inst.Run({"store", "ls", "bob@example.org", folder}).output.find(subject), std::string::npos);
}

} // namespace
