// `locmail run` end to end: with --once, mailboxes, returned mail, the log and
// a store that fails in the middle of the queue; as a service, new entries
// picked up while it idles and SIGTERM in a long queue, across its restarts.
#include "integration/RunSupport.h"
#include "suite/cclient/Accessors.h"
#include "suite/cclient/MessageParser.h"
#include "suite/cclient/PartAccess.h"
#include "suite/platform/Process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sysexits.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

using namespace testsupport;
using namespace std::chrono_literals;

const std::string kLunch = "From: Alice <alice@example.org>\r\nTo: bob@example.org\r\nSubject: Lunch\r\n"
                           "Date: Sun, 6 Dec 2026 12:00:00 +0100\r\n\r\nNoon?\r\n";
const std::string kMinutes = "From: Alice <alice@example.org>\r\nTo: bob@example.org, carol@example.org\r\n"
                             "Subject: Minutes\r\n\r\nThe minutes.\r\n\r\n-- \r\nAlice\r\n";
const std::string kOrder = "From: dave@example.net\r\nTo: sales@example.org\r\nSubject: Order\r\n\r\n3 boxes\r\n";

locmail::Process StartRun(const Installation& inst)
{
    ::unsetenv("LOCMAIL_CONFIG");
    return locmail::Process::Start({LOCMAIL_BINARY, "--config", inst.Config(), "run"});
}

// How many of MODULE's log lines start with PREFIX.
long CountLogged(const Installation& inst, const std::string& module, const std::string& prefix)
{
    auto lines = LogLines(inst, module);
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

std::string WithoutHome(std::string line)
{
    std::size_t at = line.find(" is <");
    if (line.starts_with("5 LocalMail: Home directory for") && at != std::string::npos)
        line = line.substr(0, at) + " is <HOME>";
    return line;
}

TEST(RunOnce, FilesEveryRecipientsCopyByteForByteAndLogsTheAgentsStepsInOrder)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    MustRun(inst, {"user", "add", "carol@example.org"});
    MustRun(inst, {"shared", "add", "sales@example.org"});
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, kLunch);
    MustRun(inst, {"inject", "-f", "alice@example.org", "Bob@Example.org", "carol@example.org"}, kMinutes);
    MustRun(inst, {"inject", "-f", "dave@example.net", "sales@example.org"}, kOrder);
    auto queued = OnChannel(inst, "local");
    ASSERT_EQ(queued.size(), 3u);

    auto run = inst.Run({"run", "--once"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    struct Want {
        std::string address;
        unsigned uid;
        const std::string& text;
    } wants[] = {{"bob@example.org", 1, kLunch}, {"bob@example.org", 2, kMinutes},
                 {"carol@example.org", 1, kMinutes}, {"sales@example.org", 1, kOrder}};
    for (const auto& want : wants)
        EXPECT_EQ(Filed(inst, want.address, want.uid), want.text) << want.address << " " << want.uid;
    EXPECT_EQ(Filed(inst, "bob@example.org", 3), "");
    EXPECT_TRUE(OnChannel(inst, "local").empty());
    EXPECT_TRUE(OnChannel(inst, "localout").empty());

    auto id = [&](int i) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "<%X>", queued[i].id);
        return std::string(hex);
    };
    std::vector<std::string> want = {
        "5 LocalMail: Initializing message queue....",
        "5 LocalMail: OK",
        "5 LocalMail: Processing message queue " + id(0),
        "5 LocalMail: Delivering message to user <bob@example.org>",
        "5 LocalMail: Home directory for <bob@example.org> is <HOME>",
        "5 LocalMail: Message delivered successfully",
        "5 LocalMail: Processed 1 recipient",
        "5 LocalMail: Processing message queue " + id(1),
        "5 LocalMail: Delivering message to user <Bob@Example.org>",
        "5 LocalMail: Home directory for <Bob@Example.org> is <HOME>",
        "5 LocalMail: Message delivered successfully",
        "5 LocalMail: Delivering message to user <carol@example.org>",
        "5 LocalMail: Home directory for <carol@example.org> is <HOME>",
        "5 LocalMail: Message delivered successfully",
        "5 LocalMail: Processed 2 recipient",
        "5 LocalMail: Processing message queue " + id(2),
        "5 LocalMail: Delivering message to shared mailbox <sales@example.org>",
        "5 LocalMail: Message delivered successfully",
        "5 LocalMail: Processed 1 recipient",
    };
    std::vector<std::string> got;
    for (const auto& line : LogLines(inst, "LocalMail"))
        got.push_back(WithoutHome(line));
    EXPECT_EQ(got, want);
    auto runLines = LogLines(inst, "Run");
    ASSERT_FALSE(runLines.empty());
    EXPECT_TRUE(runLines.back().starts_with("5 Run: Delivery run ends (queue done), status 0")) << runLines.back();
}

// The parts of returned mail: a report whose second part is the delivery
// status and whose third carries the original text unchanged.
void ExpectDeliveryReport(const std::string& text, const std::string& original)
{
    std::size_t header = text.find("\r\n\r\n");
    ASSERT_NE(header, std::string::npos);
    header += 4;
    auto parsed = locmail::cclient::ParseMessage(text.data(), header, text.data() + header, text.size() - header);
    const mail_bodystruct* body = parsed.body.get();
    ASSERT_EQ(locmail::cclient::BodyType(body), "MULTIPART/REPORT");
    EXPECT_EQ(locmail::cclient::BodyParameter(body, "report-type"), "delivery-status");
    ASSERT_EQ(locmail::cclient::BodyPartCount(body), 3u);
    EXPECT_EQ(locmail::cclient::BodyType(locmail::cclient::BodyPart(body, 1)), "MESSAGE/DELIVERY-STATUS");
    const mail_bodystruct* attached = locmail::cclient::BodyPart(body, 2);
    EXPECT_EQ(locmail::cclient::BodyType(attached), "MESSAGE/RFC822");
    std::string_view bodyText(text.data() + header, text.size() - header);
    EXPECT_EQ(locmail::cclient::PartContents(attached, bodyText), original);
}

TEST(RunOnce, ReturnsUndeliverableMailAsThePolicySays)
{
    struct Case {
        std::string policy;
        std::string recipient;
        std::string returnedTo; // "" when nothing may be sent
        std::string reason;
    } cases[] = {
        {"Bounce", "stranger@example.org", "alice@example.org", "No existing mailbox for stranger@example.org"},
        {"Delete", "dave@example.org", "alice@example.org", "dave@example.org is unable to receive mail at this time"},
        {"pOsTmAsTeR", "stranger@example.org", "postmaster@example.org", "Unknown recipient:  stranger@example.org"},
        {"Delete", "stranger@example.org", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.policy + " " + c.recipient);
        Installation inst;
        SetConfig(inst, "MailForInvalidLocalUser", c.policy);
        SetConfig(inst, "Postmaster", "postmaster@example.org");
        MustRun(inst, {"user", "add", "dave@example.org", "--no-receive"});
        MustRun(inst, {"inject", "-f", "alice@example.org", c.recipient}, kLunch);

        auto run = inst.Run({"run", "--once"});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_TRUE(OnChannel(inst, "local").empty());
        auto returned = OnChannel(inst, "localout");
        if (c.returnedTo.empty()) {
            EXPECT_TRUE(returned.empty());
            EXPECT_EQ(CountLogged(inst, "LocalMail", "6 LocalMail: Message for Invalid user deleted successfully"), 1);
            continue;
        }
        ASSERT_EQ(returned.size(), 1u);
        ASSERT_EQ(returned[0].recipients.size(), 1u);
        EXPECT_EQ(returned[0].recipients[0].address, c.returnedTo);
        std::string text = EntryText(inst, returned[0].id);
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        if (c.returnedTo == "alice@example.org") {
            EXPECT_EQ(returned[0].sender, "") << "returned mail goes out with the null reverse path";
            ExpectDeliveryReport(text, kLunch);
        }
    }
}

// A home whose mailbox relation cannot be opened (a folder in its place): the
// store is unavailable for that user (code 4).
void BreakMailbox(const std::string& home, bool broken)
{
    const std::string relation = home + "/mailbox.db";
    const std::string aside = home + "/mailbox.aside";
    if (broken) {
        std::filesystem::rename(relation, aside);
        std::filesystem::create_directory(relation);
    } else {
        std::filesystem::remove(relation);
        std::filesystem::rename(aside, relation);
    }
}

TEST(RunOnce, AStoreFailureInTheMiddleKeepsTheRestQueuedForTheNextRun)
{
    Installation inst;
    MustRun(inst, {"user", "add", "alice@example.org"});
    const std::string bobHome = ReportedHome(inst.Run({"user", "add", "bob@example.org"}).output);
    for (const char* rcpt : {"alice@example.org", "bob@example.org", "alice@example.org"})
        MustRun(inst, {"inject", "-f", "carol@example.org", rcpt}, "Subject: to " + std::string(rcpt) + "\r\n\r\n");
    ASSERT_TRUE(std::filesystem::is_regular_file(bobHome + "/mailbox.db")) << bobHome;

    BreakMailbox(bobHome, true);
    auto failed = inst.Run({"run", "--once"});
    EXPECT_EQ(failed.exitCode, EX_TEMPFAIL) << failed.output;
    EXPECT_EQ(InboxSubjects(inst, "alice@example.org").size(), 1u);
    EXPECT_EQ(OnChannel(inst, "local").size(), 2u) << "bob's message and the one after it stay queued";
    EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "an unavailable store returns nothing";

    BreakMailbox(bobHome, false);
    auto again = inst.Run({"run", "--once"});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(InboxSubjects(inst, "alice@example.org").size(), 2u);
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org").size(), 1u);
    EXPECT_TRUE(OnChannel(inst, "local").empty());
}

TEST(RunService, PicksUpAnArrivingMessageAndStopsOnTerm)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    auto run = StartRun(inst);
    ASSERT_TRUE(Eventually([&] { return CountLogged(inst, "LocalMail", "5 LocalMail: OK") > 0; }, 10s));

    const std::string text = "Subject: late\r\n\r\nhere now\r\n";
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, text);
    EXPECT_TRUE(Eventually([&] { return Filed(inst, "bob@example.org", 1) == text; }, 10s));

    ASSERT_EQ(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    EXPECT_EQ(run.Wait(), 0);
    auto lines = LogLines(inst, "Run");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << lines.back();
}

TEST(RunService, TermDuringALongQueueDeliversEachMessageOnceOrLeavesItQueued)
{
    constexpr int kMessages = 5000;
    constexpr int kUsers = 5;
    Installation inst;
    for (int u = 0; u < kUsers; ++u)
        MustRun(inst, {"user", "add", "u" + std::to_string(u) + "@example.org"});
    for (int i = 0; i < kMessages; ++i) {
        const std::string n = std::to_string(i);
        QueueDirectly(inst, static_cast<uint32_t>(i + 1), "alice@example.org",
                      {"u" + std::to_string(i % kUsers) + "@example.org"},
                      "Subject: m" + n + "\r\n\r\nnumber " + n + "\r\n");
    }

    auto run = StartRun(inst);
    // Past the first restart (after 2002 messages), so the signal meets a restarted process.
    const std::string processed = "5 LocalMail: Processed 1 recipient";
    ASSERT_TRUE(Eventually([&] { return CountLogged(inst, "LocalMail", processed) > 2100; }, 120s));
    ASSERT_EQ(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(CountLogged(inst, "Run", "5 Run: Restarting after"),
              CountLogged(inst, "Run", "5 Run: Delivery run starts") - 1);
    auto runLines = LogLines(inst, "Run");
    EXPECT_TRUE(runLines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << runLines.back();

    std::map<std::string, int> seen;
    for (int u = 0; u < kUsers; ++u) {
        for (const auto& subject : InboxSubjects(inst, "u" + std::to_string(u) + "@example.org"))
            ++seen[subject];
    }
    const long delivered = static_cast<long>(seen.size());
    for (const auto& entry : OnChannel(inst, "local")) {
        std::string text = EntryText(inst, entry.id);
        ++seen[text.substr(9, text.find("\r\n") - 9)]; // "Subject: mN"
    }
    EXPECT_GT(delivered, 2100);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kMessages));
    for (const auto& [subject, times] : seen)
        EXPECT_EQ(times, 1) << subject << " delivered or queued more than once";
}

} // namespace
