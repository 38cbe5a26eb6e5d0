// `locmail run` end to end: a mailbox that fails, a store that is out, hostile
// messages, an entry that kills its run; as a service, new entries picked up
// while it idles. Every copy filed once, returned mail, kills, stop requests
// and restarts over a realistic queue: CrashTest.cpp.
#include "integration/FaultShim.h"
#include "integration/RunSupport.h"
#include "suite/platform/Process.h"
#include "suite/platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sysexits.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace testsupport;

const std::string kLunch = "From: Alice <alice@example.org>\r\nTo: bob@example.org\r\nSubject: Lunch\r\n"
                           "Date: Sun, 6 Dec 2026 12:00:00 +0100\r\n\r\nNoon?\r\n";
const std::string kOrder = "From: dave@example.net\r\nTo: sales@example.org\r\nSubject: Order\r\n\r\n3 boxes\r\n";

constexpr int kPatienceMs = 30'000; // only a broken run waits this long

// One broken mailbox, the rest of the store fine: a directory, or a link to the
// real thing moved aside, where one of its files should be, or its lock held
// by another process (a reader that keeps it).
class MailboxFault {
public:
    enum class Kind { DirectoryInstead, LinkInstead, LockHeld };
    MailboxFault(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {}
    void Break()
    {
        if (kind_ == Kind::LockHeld) {
            lock_.reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            ASSERT_TRUE(lock_ && ::flock(lock_.get(), LOCK_EX) == 0);
            return;
        }
        if (std::filesystem::exists(path_))
            std::filesystem::rename(path_, path_ + ".aside");
        if (kind_ == Kind::LinkInstead)
            std::filesystem::create_symlink(path_ + ".aside", path_);
        else
            std::filesystem::create_directory(path_);
    }
    void Repair()
    {
        if (kind_ == Kind::LockHeld) {
            lock_.reset();
            return;
        }
        std::filesystem::remove(path_);
        if (std::filesystem::exists(path_ + ".aside"))
            std::filesystem::rename(path_ + ".aside", path_);
    }

private:
    Kind kind_;
    std::string path_;
    locmail::UniqueFd lock_;
};

TEST(RunOnce, AMailboxThatFailsHoldsBackOnlyItsOwnCopy)
{
    using Kind = MailboxFault::Kind;
    const std::string both = "Subject: both\r\n\r\nfor bob and alice\r\n";
    // Damage and contention alike hold back bob's copies until repaired; none is returned.
    struct Case {
        Kind kind;
        const char* file; // below bob's home ("": the home itself)
    } cases[] = {
        {Kind::DirectoryInstead, "inbox696E626F78/1"},
        {Kind::DirectoryInstead, "mailbox.db"},
        {Kind::LinkInstead, "mailbox.db"},
        {Kind::LinkInstead, "inbox696E626F78"},
        {Kind::LinkInstead, "inbox696E626F78/1"}, // dangling: writing through it would make a file elsewhere
        {Kind::LinkInstead, ""},
        {Kind::LockHeld, "mailbox.id0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Installation inst;
        SetConfig(inst, "Queue", "RetryMinSeconds", "0");
        MustRun(inst, {"user", "add", "alice@example.org"});
        MustRun(inst, {"user", "add", "carol@example.org"});
        const std::string bobHome = ReportedHome(inst.Run({"user", "add", "bob@example.org"}).output);
        MustRun(inst, {"inject", "-f", "dave@example.org", "bob@example.org", "alice@example.org"}, both);
        MustRun(inst, {"inject", "-f", "dave@example.org", "bob@example.org"}, "Subject: bob\r\n\r\n");
        MustRun(inst, {"inject", "-f", "dave@example.org", "carol@example.org"}, "Subject: carol\r\n\r\n");
        MailboxFault fault(c.kind, *c.file ? bobHome + "/" + c.file : bobHome);
        fault.Break();

        // The summary counts outcomes: bob's copies are deferred in each walk of the run (no wait between tries).
        const auto first = inst.Run({"run", "--once"});
        EXPECT_TRUE(first.output.starts_with("delivered 2, returned 0, discarded 0, deferred ")) << first.output;
        EXPECT_NE(first.output.find(", held 0 in "), std::string::npos) << first.output;
        EXPECT_EQ(InboxSubjects(inst, "alice@example.org"), std::vector<std::string>{"both"});
        EXPECT_EQ(InboxSubjects(inst, "carol@example.org"), std::vector<std::string>{"carol"});
        const auto queued = OnChannel(inst, "local");
        // Deferred, bob alone: after the first wait for the lock his second message waits without one.
        ASSERT_EQ(queued.size(), 2u);
        EXPECT_TRUE(OnChannel(inst, "localout").empty());
        for (const auto& entry : queued)
            EXPECT_EQ(entry.recipients, (std::vector<locmail::mq::ListedRecipient>{{"bob@example.org", "local"}}));
        fault.Repair();
        auto again = inst.Run({"run", "--once"});
        EXPECT_EQ(again.exitCode, 0) << again.output;
        EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (std::vector<std::string>{"both", "bob"}));
        EXPECT_EQ(Filed(inst, "bob@example.org", 1), both);
        EXPECT_EQ(InboxSubjects(inst, "alice@example.org").size(), 1u) << "alice's copy is not filed again";
        EXPECT_TRUE(OnChannel(inst, "local").empty());
        EXPECT_NE(again.output.find("delivered 2, returned 0, discarded 0, deferred 0, held 0 in "), std::string::npos)
            << again.output;
        const auto outcomes = LogLines(inst, "Delivery");
        EXPECT_EQ(std::count_if(outcomes.begin(), outcomes.end(),
                                [](const std::string& line) {
                                    return line.find(" status=filed from=<dave@example.org> to=<bob@example.org> "
                                                     "folder=inbox uid=2") != std::string::npos;
                                }),
                  1);
    }
}

// The users directory is the store's own: without it no recipient can be
// told from an unknown one, so nothing may be delivered or returned.
TEST(RunOnce, AStoreOutageKeepsEveryEntryQueuedForTheNextRun)
{
    enum class Outage { DirectoryForUsersDb, UsersDbMissing, UsersDbEmpty, HomesFolderMissing };
    for (Outage outage : {Outage::DirectoryForUsersDb, Outage::UsersDbMissing, Outage::UsersDbEmpty,
                          Outage::HomesFolderMissing}) {
        SCOPED_TRACE(static_cast<int>(outage));
        Installation inst;
        MustRun(inst, {"user", "add", "alice@example.org"});
        for (const char* subject : {"one", "two"})
            MustRun(inst, {"inject", "-f", "carol@example.org", "alice@example.org"},
                    "Subject: " + std::string(subject) + "\r\n\r\n");
        const std::string broken = inst.Dir() + (outage == Outage::HomesFolderMissing ? "/store/users" : "/store/users.db");
        std::filesystem::rename(broken, broken + ".aside");
        if (outage == Outage::DirectoryForUsersDb)
            std::filesystem::create_directory(broken);
        if (outage == Outage::UsersDbEmpty)
            WriteFile(broken, "");

        auto failed = inst.Run({"run", "--once"});
        EXPECT_EQ(failed.exitCode, EX_TEMPFAIL) << failed.output;
        EXPECT_EQ(OnChannel(inst, "local").size(), 2u);
        EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "an unavailable store returns nothing";
        EXPECT_EQ(CountLogged(inst, "Run", "2 Run: Message queue <"), 1) << "one line says why it stays queued";
        if (outage == Outage::UsersDbEmpty)
            EXPECT_EQ(std::filesystem::file_size(broken), 0u) << "delivery never makes a store";
        else
            EXPECT_EQ(std::filesystem::exists(broken), outage == Outage::DirectoryForUsersDb);

        std::filesystem::remove_all(broken);
        std::filesystem::rename(broken + ".aside", broken);
        auto again = inst.Run({"run", "--once"});
        EXPECT_EQ(again.exitCode, 0) << again.output;
        EXPECT_EQ(InboxSubjects(inst, "alice@example.org"), (std::vector<std::string>{"one", "two"}));
        EXPECT_TRUE(OnChannel(inst, "local").empty());
    }
}

// Messages built to exhaust the stack or the parser, each followed by an
// ordinary one: every one is filed (or held, with a log line), the run ends
// normally and nothing is left queued.
std::string Repeated(const std::string& piece, int times, const std::string& separator = "")
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += (i ? separator : "") + piece;
    return out;
}

std::string NestedMultipart(int depth)
{
    std::string text = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
    for (int i = 0; i < depth; ++i)
        text += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) +
                "\r\n\r\n";
    text += "--b" + std::to_string(depth) + "\r\n\r\ninner\r\n";
    for (int i = depth; i >= 0; --i)
        text += "--b" + std::to_string(i) + "--\r\n";
    return text;
}

TEST(RunOnce, HostileMessagesAreFiledAndTheQueueBehindThemToo)
{
    const std::string rfc822 = "MIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n";
    const struct {
        const char* name; // the subject: 300,000 addresses, parameters and parts; 20,000-deep nesting
        std::string text; // the header fields after Subject, the empty line and the body
    } cases[] = {
        {"addresses", "To: " + Repeated("u@x", 300'000, ",") + "\r\n\r\nbody\r\n"},
        {"parameters", "Content-Type: text/plain; " + Repeated("p=v", 300'000, "; ") + "\r\n\r\nbody\r\n"},
        {"parts", "Content-Type: multipart/mixed; boundary=z\r\n\r\n" + Repeated("--z\r\n\r\np\r\n", 300'000) +
                              "--z--\r\n"},
        {"multiparts", "MIME-Version: 1.0\r\n" + NestedMultipart(20'000)},
        {"messages", rfc822 + Repeated("Subject: x\r\n" + rfc822, 20'000) + "Subject: end\r\n\r\nx\r\n"},
        {"8-bit", std::string("X-Bin: a\0b\xff\xfe\r\nX-Latin: \xe9t\xe9\r\n\r\nbody\r\n", 38)},
        {"long-lines", "X-Long: " + std::string(1'000'000, 'y') + "\r\n\r\n" + std::string(1'000'000, 'z') + "\r\n"},
    };
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    std::vector<std::string> want;
    for (const auto& c : cases) {
        MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"},
                "Subject: " + std::string(c.name) + "\r\n" + c.text);
        MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"}, "Subject: " + std::string(c.name) +
                                                                             "-after\r\n\r\nbody\r\n");
        want.insert(want.end(), {c.name, std::string(c.name) + "-after"});
    }
    auto run = inst.Run({"run", "--once"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), want);
    EXPECT_TRUE(OnChannel(inst, "local").empty());
    EXPECT_FALSE(std::filesystem::exists(inst.QueueDir() + "/hold"));
}

// Marked as spam before it came (by the SpamAssassin plug-in): filed into the
// user's spam folder, which the first such message makes.
TEST(RunOnce, MailMarkedAsSpamUpstreamGoesToTheSpamFolderMadeForIt)
{
    Installation inst;
    const std::string home = ReportedHome(inst.Run({"user", "add", "bob@example.org"}).output);
    WriteFile(home + "/antispam.cfg", "XScannerAction=file\r\nSystemSpamFolder=Junk\r\n");
    const std::string spam = "Subject: cheap\r\nX-Spam-Status: YES, score=9\r\n\r\nbuy\r\n";
    MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"}, spam);
    MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"}, "Subject: ham\r\n\r\nhi\r\n");
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), std::vector<std::string>{"ham"});
    EXPECT_EQ(Filed(inst, "bob@example.org", 1, "Junk"), spam);
}

// A message that kills its run (here: right after the walk recorded it as in
// hand) counts one try each time; the third time it is held, the queue behind
// it is delivered, `queue ls` shows why, and `queue release` puts it back.
TEST(RunKilled, AnEntryThatStopsTheRunThreeTimesIsHeldUntilReleased)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"}, kLunch);
    MustRun(inst, {"inject", "-f", "a@example.org", "bob@example.org"}, kOrder);
    const uint32_t poison = OnChannel(inst, "local").front().id;
    ShimOptions options;
    options.killOnWriteTo = "/queue/inflight/";
    for (int kill = 0; kill < 3; ++kill) {
        auto run = StartWithShim(inst, {"run", "--once"}, options);
        std::string output;
        run.Communicate("", output);
        ASSERT_EQ(run.Wait(), kKilled) << output;
    }
    EXPECT_EQ(CountLogged(inst, "LocalMail", "2 LocalMail: Queue entry 00000001 was in hand when its delivery process "
                                             "stopped"),
              2);
    auto run = inst.Run({"run", "--once"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), std::vector<std::string>{"Order"});
    EXPECT_EQ(CountLogged(inst, "LocalMail", "1 LocalMail: Queue entry 00000001 held (its delivery stopped the "
                                             "process 3 times (crashed, killed or hung)); `locmail queue release "
                                             "00000001` puts it back"),
              1);
    auto listed = inst.Run({"queue", "ls"});
    EXPECT_NE(listed.output.find("held: its delivery stopped the process 3 times"), std::string::npos) << listed.output;

    char name[9];
    std::snprintf(name, sizeof name, "%08X", poison);
    MustRun(inst, {"queue", "release", name});
    EXPECT_NE(inst.Run({"queue", "release", name}).exitCode, 0) << "released twice";
    MustRun(inst, {"run", "--once"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (std::vector<std::string>{"Order", "Lunch"}));
    EXPECT_TRUE(OnChannel(inst, "local").empty());
}

TEST(RunService, PicksUpAnArrivingMessageAndStopsOnTerm)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    IdleSignal idle(inst);
    ShimOptions options;
    options.idleFifo = idle.Path();
    auto run = StartWithShim(inst, {"run"}, options);
    ASSERT_TRUE(idle.WaitForIdle(kPatienceMs)) << "the service never waited for mail";

    const std::string text = "Subject: late\r\n\r\nhere now\r\n";
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, text);
    ASSERT_TRUE(idle.WaitForIdle(kPatienceMs)) << "the service did not go back to waiting";
    EXPECT_EQ(Filed(inst, "bob@example.org", 1), text);

    ASSERT_EQ(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    EXPECT_EQ(run.Wait(), 0);
    auto lines = LogLines(inst, "Run");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << lines.back();
}

} // namespace
