// The rules step: executing a destination list (CLocalMailsort) and the
// agent's pipeline with a user's rules.sieve.
#include "AgentFixture.h"

#include "rules/CLocalMailsort.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/mailsort/msgdest.h"
#include "suite/mq/OutgoingKey.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

struct Entry { int32_t action; std::string argument; };

// A list of ENTRIES for user u@x, kept in place while the executor walks it.
std::vector<msgdest> MakeList(const std::vector<Entry>& entries)
{
    std::vector<msgdest> list(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::memset(&list[i], 0, sizeof list[i]);
        std::strcpy(list[i].userName, "u@x");
        list[i].action = entries[i].action;
        std::strcpy(list[i].argument, entries[i].argument.c_str());
        list[i].next = i + 1 < entries.size() ? &list[i + 1] : nullptr;
    }
    return list;
}

class RulesTest : public AgentTest {
protected:
    // Runs the executor over ENTRIES (none: the null list); its result.
    bool Execute(const std::vector<Entry>& entries)
    {
        std::vector<msgdest> list = MakeList(entries);
        CLocalMail& agent = Agent();
        store.calls.clear();
        log.Clear();
        doubles::TheQueue().calls.clear();
        CLocalMailsort executor(agent, list.empty() ? nullptr : list.data(), "LocalMail");
        return executor.Deliver();
    }
    void WriteRules(const std::string& user, const std::string& script)
    {
        std::filesystem::create_directories(dir / user);
        testsupport::WriteFile(dir / (user + "/rules.sieve"), script);
    }
};

TEST_F(RulesTest, EachEntryKindFilesSendsOrFilesNothing)
{
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        Lines wantStore;
        bool wantResult = true;
        Lines wantQueue = {};
    } cases[] = {
        {"no rule matched", {}, {"AddUserMsg u@x inbox"}},
        {"reject alone", {{0x04, "go away"}}, {}},
        {"discard", {{0x84, ""}}, {}},
        {"own move", {{0x01, "Projects"}}, {"AddUserMsg u@x Projects"}},
        {"own copy first", {{0x02, "Projects"}}, {"AddUserMsg u@x inbox", "AddUserMsg u@x Projects"}},
        {"move then copy", {{0x01, "A"}, {0x02, "B"}}, {"AddUserMsg u@x A", "AddUserMsg u@x A", "AddUserMsg u@x B"}},
        {"shared move", {{0x41, "Sales/Orders"}}, {"AddSharedMsg Sales 'Orders'"}},
        {"shared move, deep folder", {{0x41, "Sales\\Orders/2003"}}, {"AddSharedMsg Sales 'Orders/2003'"}},
        {"shared copy, no separator", {{0x42, "Sales"}}, {"AddUserMsg u@x inbox", "AddSharedMsg Sales null"}},
        {"shared move keeps the own folder", {{0x41, "Support/Open"}, {0x03, ""}},
         {"AddSharedMsg Support 'Open'", "AddUserMsg u@x inbox"}},
        {"bits 0x08 and above 0x40 masked", {{0x09, "Projects"}, {0x101, "Later"}},
         {"AddUserMsg u@x Projects", "AddUserMsg u@x Later"}},
        {"unknown after a move", {{0x01, "Archive"}, {0x03, ""}}, {"AddUserMsg u@x Archive", "AddUserMsg u@x Archive"}},
        {"folder too long for the member", {{0x01, std::string(241, 'f')}}, {"AddUserMsg u@x inbox"}},
        {"forward to three", {{0x10, "a@x, b@x;c@x"}}, {}, true,
         {"Create 1000", "Insert 1000 localout 255", "Envelope 1000 |a@x,b@x,c@x", "Commit 1000"}},
        {"forward to separators only", {{0x10, " ;, "}}, {}, true,
         {"Create 1001", "Insert 1001 localout 255", "Envelope 1001 |", "Commit 1001"}},
    };
    testsupport::WriteFile(dir / "0.msg", kText);
    mailsort.setUserName("u@x");
    for (const auto& c : cases) {
        EXPECT_EQ(Execute(c.entries), c.wantResult) << c.name;
        EXPECT_EQ(store.calls, c.wantStore) << c.name;
        EXPECT_EQ(QueueCalls(), c.wantQueue) << c.name;
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "1000.msg"), kText) << "a forward is the queued text unchanged";
}

TEST_F(RulesTest, FailedForwardsAreReportedAndTheRestStillRuns)
{
    struct Case { const char* failOn; bool removeSource; Lines wantQueue; } cases[] = {
        {"Create", false, {"Create 1000"}},
        {"", true, {"Create 1000", "Discard 1000"}},
        {"Envelope", false, {"Create 1001", "Insert 1001 localout 255", "Envelope 1001 |a@x", "Discard 1001"}},
        {"Commit", false, {"Create 1002", "Insert 1002 localout 255", "Envelope 1002 |a@x", "Commit 1002"}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "0.msg");
        if (!c.removeSource)
            testsupport::WriteFile(dir / "0.msg", kText);
        doubles::TheQueue().failOn = c.failOn;
        EXPECT_FALSE(Execute({{0x10, "a@x"}, {0x01, "Projects"}})) << c.failOn;
        EXPECT_EQ(QueueCalls(), c.wantQueue) << c.failOn;
        EXPECT_EQ(store.calls, Lines{"AddUserMsg u@x Projects"}) << c.failOn;
    }
}

// Whether an earlier entry sent mail or not (a vacation already answered, a
// forward that failed before), an entry's mail keeps its key on a retry.
TEST_F(RulesTest, MailOfAnEntryIsKeyedByItsPlaceInTheList)
{
    const std::string base = std::string(32, 'a') + ".0";
    testsupport::WriteFile(dir / "0.msg", kText);
    for (int32_t first : {0x10, 0x04}) {
        locmail::mq::OutgoingKeyScope scope(base);
        Execute({{first, "a@x"}, {0x10, "b@x"}});
        EXPECT_EQ(QueueCalls().back(), "Commit " + std::to_string(doubles::TheQueue().nextEntry - 1) + " key " + base +
                                           ".1.1")
            << first;
    }
}

TEST_F(RulesTest, StoreFailuresOfOwnAndSharedMailboxes)
{
    store.fileCodes[""] = {14, 0, 14, 0};
    EXPECT_TRUE(Execute({{0x01, "Gone"}, {0x01, "Gone2"}}));
    EXPECT_EQ(store.calls, (Lines{"AddUserMsg u@x Gone", "AddUserMsg u@x inbox", "AddUserMsg u@x Gone2"}));
    EXPECT_EQ(log.LinesOf("LocalMail").back(), "1 LocalMail: store code 14 for ");
    EXPECT_TRUE(CLocalMailsort::IsInboxRetryArmed()) << "armed again at the end of the walk";
    EXPECT_TRUE(Execute({{0x01, "Gone"}}));
    EXPECT_EQ(store.calls, (Lines{"AddUserMsg u@x Gone"})) << "the fourth filing succeeds";

    // A shared mailbox's failure is not swallowed: it ends the walk for the queue loop's policy.
    store.fileCodes[""] = {39};
    EXPECT_THROW(Execute({{0x41, "Nope/X"}, {0x01, "After"}}), CMsgStoreException);
    EXPECT_EQ(store.calls, (Lines{"AddSharedMsg Nope 'X'"}));
}

// The whole step through the agent, with scripts in a temporary home: a script's list is executed, a script
// that does not parse gives the default delivery.
TEST_F(RulesTest, PipelineRunsTheUsersScript)
{
    struct Case {
        const char* name;
        std::string script;
        Lines wantCalls; // filings and new queue entries
    } cases[] = {
        {"fileinto and copy",
         "require [\"fileinto\", \"copy\"]; fileinto :copy \"A\"; if header :contains \"subject\" \"hi\" { fileinto \"B\"; }",
         {"AddUserMsg u@x A", "AddUserMsg u@x B"}},
        {"redirect", "redirect \"f@y\";",
         {"Create 1000", "Insert 1000 localout 255", "Envelope 1000 u@x|f@y", "Commit 1000"}},
        {"syntax error", "if {", {"AddUserMsg u@x inbox"}},
    };
    store.users = {"u@x"};
    store.homeRoot = dir.path().string();
    for (const auto& c : cases) {
        WriteRules("u@x", c.script);
        ResetQueue();
        Queue(1).AddSender("s@x", "smtp").AddRecipient("u@x", "local");
        store.calls.clear();
        Run();
        Lines all = store.calls, calls;
        all.insert(all.end(), QueueCalls().begin(), QueueCalls().end());
        for (const auto& call : all)
            if (call.starts_with("Add") || call.starts_with("Create") || call.starts_with("Insert") ||
                call.starts_with("Envelope") || call.starts_with("Commit"))
                calls.push_back(call);
        EXPECT_EQ(calls, c.wantCalls) << c.name;
        EXPECT_EQ(MimeCalls(), Lines{}) << c.name;
    }
}

TEST_F(RulesTest, VacationAnswersEachSenderOnceWithinItsDays)
{
    store.users = {"u@x"};
    store.homeRoot = dir.path().string();
    WriteRules("u@x", "require \"vacation\"; vacation :days 3 :subject \"Away\" \"Back on Monday.\";");
    const std::string kThread = "From: s@x\r\nTo: u@x\r\nMessage-ID: <m2@x>\r\nReferences: <m1@x>\r\n\r\nbody\r\n";
    struct Case { const char* sender; std::string text; Lines wantMails; } cases[] = {
        {"s@x", kThread, {"MarkAutoReply <m2@x>|<m1@x>", "Send u@x|s@x|Away|Back on Monday."}},
        {"s@x", kText, {}},
        {"S@X", kText, {}},
        {"t@x", kText, {"MarkAutoReply |", "Send u@x|t@x|Away|Back on Monday."}},
        {"l@x", "From: l@x\r\nTo: u@x\r\nList-Id: <l.x>\r\nSubject: hi\r\n\r\nbody\r\n", {}},
    };
    for (const auto& c : cases) {
        ResetQueue();
        Queue(1, c.text).AddSender(c.sender, "smtp").AddRecipient("u@x", "local");
        store.calls.clear();
        Run();
        Lines sends;
        for (const auto& call : MimeCalls())
            if (call.rfind("Send ", 0) == 0 || call.rfind("MarkAutoReply ", 0) == 0)
                sends.push_back(call);
        EXPECT_EQ(sends, c.wantMails) << c.sender;
        EXPECT_EQ(std::count(store.calls.begin(), store.calls.end(), "AddUserMsg u@x inbox"), 1) << c.sender;
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "u@x/vacation.db"));
}

} // namespace
