// The locmail command end to end: init, inject and queue ls on real
// installations, and what every command says when part of one is missing.
#include "integration/RunSupport.h"
#include "suite/mq/EnvelopeFormat.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sysexits.h>

#include <filesystem>
#include <memory>

namespace {

using namespace testsupport;

const std::string kMessage =
    "From: Alice <alice@example.org>\r\nTo: bob@example.org\r\nSubject: Lunch\r\n\r\nNoon?\r\n";

TEST(InitCommand, MakesAWorkingInstallationAndKeepsConfigurationAndUsersWhenRunAgain)
{
    Installation inst;
    const std::string config = ReadFile(inst.Config());
    EXPECT_NE(config.find("QueueDirectory=" + inst.QueueDir()), std::string::npos);
    EXPECT_NE(config.find("MailForInvalidLocalUser=Bounce"), std::string::npos);
    EXPECT_TRUE(locmail::FileExists(inst.Dir() + "/store/users.db")) << "and the rest of the store home";

    WriteFile(inst.Config(), config + "; edited by hand\n");
    MustRun(inst, {"user", "add", "alice@example.org"});
    auto again = RunLocmail({"init", inst.Dir()});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(ReadFile(inst.Config()).find("; edited by hand"), std::string::npos);
    EXPECT_NE(inst.Run({"user", "list"}).output.find("alice@example.org"), std::string::npos);
}

TEST(InjectCommand, QueuesOneEntryOnLocalWithEveryRecipientAndTheTextByteForByte)
{
    Installation inst;
    MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org", "carol@example.org"}, kMessage);
    const auto queued = OnChannel(inst, "local");
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].sender, "alice@example.org");
    EXPECT_EQ(EntryText(inst, queued[0].id), kMessage);
    auto ls = inst.Run({"queue", "ls"});
    EXPECT_EQ(ls.exitCode, 0);
    EXPECT_NE(ls.output.find("bob@example.org (local), carol@example.org (local)"), std::string::npos) << ls.output;

    // Bare line feeds get their carriage returns; NUL bytes stay.
    MustRun(inst, {"inject", "-f", "", "bob@example.org"}, std::string("Subject: x\n\nbody\0with nul\n", 27));
    const auto both = OnChannel(inst, "local");
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].sender, "");
    EXPECT_EQ(EntryText(inst, both[1].id), std::string("Subject: x\r\n\r\nbody\0with nul\r\n", 30));
    EXPECT_NE(ReadFile(inst.LogFile()).find("contains NUL bytes"), std::string::npos);

    // An address that reverses what follows it, or holds stray bytes, is shown escaped.
    MustRun(inst, {"inject", "-f", "\xE2\x80\xAE" "gro.live@x", "caf\xC3\xA9@example.org", "\xFF@x"}, kMessage);
    auto shown = inst.Run({"queue", "ls"});
    EXPECT_NE(shown.output.find("\\xE2\\x80\\xAEgro.live@x"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("caf\xC3\xA9@example.org (local), \\xFF@x (local)"), std::string::npos) << shown.output;
}

TEST(InjectCommand, BothFormsRefuseBadInputWithTheRightStatusAndQueueOnlyGoodMail)
{
    Installation inst;
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
    } cases[] = {
        {{"inject", "-f", "a@x", "bob@example.org"}, "", EX_DATAERR},
        {{"inject", "-f", "a@x", "bad\naddress@example.org"}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a@x", std::string(1024, 'b')}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a\x01@x", "bob@example.org"}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a@x"}, kMessage, EX_TEMPFAIL}, // a slip in the mail server's call: it retries
        {{"inject", "bob@example.org"}, kMessage, EX_TEMPFAIL},
        {{"inject", "-f", "a@x", "bob@example.org"}, "x", EX_DATAERR}, // no header end: the agent could not take it
        {{"inject", "-f", "a@x", "bob@example.org"}, "\r\nNo header, only content.", EX_DATAERR},
    };
    for (const auto& c : cases) {
        auto run = inst.Run(c.args, c.input);
        EXPECT_EQ(run.exitCode, c.status) << c.args.back() << ": " << run.output;
        EXPECT_FALSE(run.output.empty()) << "a refusal says why";
        // The small program a mail server starts per message answers alike.
        std::vector<std::string> lean{LOCMAIL_INJECT_BINARY, "--config", inst.Config()};
        lean.insert(lean.end(), c.args.begin() + 1, c.args.end());
        auto leanRun = RunProgram(lean, c.input);
        EXPECT_EQ(leanRun.exitCode, c.status) << "locmail-inject " << c.args.back() << ": " << leanRun.output;
    }
    EXPECT_TRUE(locmail::mq::ListEntries(inst.QueueDir()).entries.empty());
    auto queued =
        RunProgram({LOCMAIL_INJECT_BINARY, "--config", inst.Config(), "-f", "a@x", "bob@example.org"}, kMessage);
    ASSERT_EQ(queued.exitCode, EX_OK) << queued.output;
    const auto entries = OnChannel(inst, "local");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(EntryText(inst, entries[0].id), kMessage);
}

// The operator's queue tools change the entry named and nothing else, and leave alone one a run holds.
TEST(QueueCommands, ListShowHoldRemoveAndFlushTouchOnlyTheEntryNamedAndNeverOneARunHolds)
{
    Installation inst;
    for (int i = 0; i < 3; ++i)
        MustRun(inst, {"inject", "-f", "alice@example.org", "bob@example.org"}, kMessage);
    const std::string envelope = inst.QueueDir() + "/entries/00000002.env";
    auto parsed = locmail::mq::ParseEnvelopeFile(ReadFile(envelope));
    ASSERT_TRUE(parsed.ok);
    parsed.data.deferrals.push_back({"local", 2, std::time(nullptr) + 3030});
    WriteFile(envelope, locmail::mq::FormatEnvelopeFile(parsed.data));
    MustRun(inst, {"queue", "hold", "00000003"});
    // A run's claim on entry 2: its marker locked, as a walk locks it.
    locmail::UniqueFd claim(::open((inst.QueueDir() + "/channels/local/00000002").c_str(), O_RDONLY));
    ASSERT_EQ(::flock(claim.get(), LOCK_EX), 0);
    RunSteps(inst, {
        {{"queue", "ls"},
         0,
         {" waiting  local ", "deferred on local: 2 attempts, next in 50m", " held ", "held: held by the operator",
          "2 message(s), 1 held"}},
        {{"queue", "ls", "--json"},
         0,
         {R"("id":"00000001",)", R"("state":"deferred","sender":"alice@example.org",)", R"("attempts":2,)",
          R"("state":"held",)", R"("reason":"held by the operator"})"}},
        {{"queue", "show", "00000003"},
         0,
         {"state     held: held by the operator", "rcpt      bob@example.org (local)", "Subject: Lunch",
          "Queue entry 00000003 held (held by the operator)"}},
        {{"queue", "show", "0000000f"}, EX_NOINPUT, {"no entry 0000000F"}},
        {{"queue", "rm", "1234"}, EX_USAGE, {"not a queue id"}},
        {{"queue", "rm", "0000000F"}, EX_NOINPUT, {"no entry 0000000F"}},
        {{"queue", "hold", "00000003"}, EX_NOINPUT, {"held already"}},
        {{"queue", "rm", "00000002"}, EX_TEMPFAIL, {"in the hands of a delivery run on local"}},
        {{"queue", "hold", "00000002"}, EX_TEMPFAIL, {"in the hands of a delivery run"}},
        {{"queue", "flush"}, 0, {"1 deferred message(s) made due now"}},
        {{"queue", "rm", "00000001"}, 0, {"00000001 removed"}},
        {{"queue", "rm", "00000003"}, 0, {"00000003 removed"}},
    });
    const auto left = locmail::mq::ListEntries(inst.QueueDir());
    ASSERT_EQ(left.entries.size(), 1u);
    EXPECT_EQ(left.entries[0].id, 2u);
    ASSERT_EQ(left.entries[0].deferrals.size(), 1u);
    EXPECT_LE(left.entries[0].deferrals[0].nextAttempt, std::time(nullptr));
    EXPECT_EQ(left.entries[0].channels, std::vector<std::string>{"local"});
    EXPECT_TRUE(std::filesystem::is_empty(inst.QueueDir() + "/hold"));
}

// A part removed, or a queue or store setting that points at what `locmail init` did not make: every
// command says what is wrong, and init run again refuses to make anything at such a place.
TEST(Commands, SayWhatIsMissingOrMisplacedInAnInstallation)
{
    const std::vector<std::string> inject{"inject", "-f", "a@x", "b@y"}, run{"run", "--once"};
    struct Case {
        std::string broken; // a part removed, or KEY=VALUE set in qxmta.ini
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {"qxmta.ini", inject, EX_TEMPFAIL, "locmail init"}, // the mail server retries
        {"qxmta.ini", {"user", "list"}, EX_CONFIG, "locmail init"},
        {"qxmta.ini", {"shared", "list"}, EX_CONFIG, "locmail init"},
        {"qxmta.ini", run, EX_CONFIG, "locmail init"},
        {"queue", inject, EX_TEMPFAIL, "locmail init"},
        {"queue", {"queue", "ls"}, EX_UNAVAILABLE, ""},
        {"queue", run, EX_CONFIG, "locmail init"},
        {"queue/tmp", run, EX_CONFIG, "has no tmp folder"},
        {"store", run, EX_TEMPFAIL, "not mounted?"}, // perhaps a file system not there yet
        {"store/.locmail-store", run, EX_CONFIG, "not a message store made by `locmail init`"},
        {"store/.locmail-store", {"user", "add", "bob@x"}, EX_CONFIG, "not a message store"},
        {"HomeDir=/", run, EX_CONFIG, ""},
        {"HomeDir=relative/store", run, EX_CONFIG, ""},
        {"HomeDir=/", {"user", "add", "bob@x"}, EX_CONFIG, ""},
        {"HomeDir=/", {"user", "list"}, EX_CONFIG, ""},
        {"QueueDirectory=/", run, EX_CONFIG, ""},
        {"QueueDirectory=/.", run, EX_CONFIG, ""},
    };
    std::unique_ptr<Installation> inst;
    std::string broken;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.broken + ", " + c.args[0]);
        const std::size_t eq = c.broken.find('=');
        if (!inst || c.broken != broken || eq != std::string::npos) { // a fresh one per part broken
            inst = std::make_unique<Installation>();
            broken = c.broken;
            if (eq == std::string::npos)
                std::filesystem::remove_all(inst->Dir() + "/" + c.broken);
            else
                SetConfig(*inst, c.broken.substr(0, eq), c.broken.substr(eq + 1));
        }
        auto result = inst->Run(c.args, kMessage);
        EXPECT_EQ(result.exitCode, c.status) << result.output;
        EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
        EXPECT_FALSE(result.output.empty()) << "a refusal says why";
        if (eq != std::string::npos) { // init again keeps the file, and refuses to make anything at that place
            auto init = RunLocmail({"init", inst->Dir()});
            EXPECT_EQ(init.exitCode, EX_CONFIG) << init.output;
        }
    }
    EXPECT_FALSE(std::filesystem::exists("/users.db"));
    EXPECT_FALSE(std::filesystem::exists("/.locmail-store"));
    EXPECT_FALSE(std::filesystem::exists("relative")) << "nothing made below the current folder";
}

} // namespace
