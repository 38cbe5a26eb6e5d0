// The agent object and the queue walk: the channel, the walk's ends, where a
// message's header ends, dropped messages, the recipient walk, stops and the
// process-wide message count.
#include "AgentFixture.h"

#include "delivery/QueuedHeaderSize.h"

#include "suite/mq/EntryId.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>

namespace {

using locmail::delivery::DeliveredMessageCount;
using locmail::mq::kQueueUnreachable;
using ::testing::Contains;
using ::testing::Not;

TEST_F(AgentTest, OpensTheLocalChannelOrThrows)
{
    struct Case { bool initOk, openOk; int wantCode; Lines wantCalls; } cases[] = {
        {true, true, 0, {"MQInit queue LocalMail", "Open local", "Close"}},
        {false, true, 4, {"MQInit queue LocalMail"}},
        {true, false, 5, {"MQInit queue LocalMail", "Open local"}},
    };
    for (const auto& c : cases) {
        ResetQueue(c.initOk, c.openOk);
        int code = 0;
        try {
            CLocalMail built(store, "queue", "LocalMail");
        } catch (const CLocalMailException& e) {
            code = e.GetLastError();
        }
        EXPECT_EQ(code, c.wantCode);
        EXPECT_EQ(QueueCalls(), c.wantCalls);
    }
}

TEST_F(AgentTest, WalkEndsThrowsOrStopsBeforeProcessing)
{
    struct Case { bool stopOnEntry; std::vector<uint32_t> ids; bool wantThrow; } cases[] = {
        {false, {}, false}, // empty channel
        {true, {7}, false}, // stop set on entry: the first id is still fetched
        {false, {kQueueUnreachable}, true},
        {true, {kQueueUnreachable}, true},
    };
    for (const auto& c : cases) {
        doubles::TheQueue().ids = c.ids;
        try {
            EXPECT_EQ(Run(c.stopOnEntry), Lines{});
            EXPECT_FALSE(c.wantThrow);
        } catch (const CLocalMailException& e) {
            EXPECT_TRUE(c.wantThrow);
            EXPECT_EQ(std::to_string(e.GetLastError()) + e.GetLastErrorMsg(),
                      "2Could not connect to message queue server");
        }
        EXPECT_EQ(QueueCalls(), Lines{"First"});
    }
}

TEST(HeaderSizeTest, EndsAfterTheFirstEmptyLine)
{
    struct Case { std::string text; uint32_t want; } cases[] = {
        {"0123456789\r\n\r\nbody", 14}, {"0123456789\n\nbody", 12},  {"ab\n\r\r\nbody\n\n", 6},
        {"ab\r\ncd\r\nno empty line", 0}, {"ab\r\n\r", 5}, {"ab\r\ncd\r\n", 8}, {"ab\r\n \r\n\r\n", 9},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locmail::delivery::QueuedHeaderSize(c.text.data(), uint32_t(c.text.size())), c.want) << c.text;
}

// Nothing is taken off the queue that was not delivered: a text that cannot be
// read now waits, one the agent cannot take for its shape is held.
TEST_F(AgentTest, UnusableMessagesAreKeptUncounted)
{
    enum class Text { Given, Missing, Directory };
    struct Case { const char* text; Text file; bool envelope, deferOk; Lines wantCalls; int wantError; } cases[] = {
        {"Subject: x\r\nno empty line", Text::Given, true, true,
         {"Hold 1 its header has no end (no empty line after the header lines)"}, 9},
        {"", Text::Given, true, true, {"Hold 1 its text is empty"}, 10},
        {"", Text::Missing, true, true, {"DeferAll 1", "Remove 1"}, 10},
        {"", Text::Directory, true, true, {"DeferAll 1", "Remove 1"}, 6},
        {"", Text::Directory, true, false,
         {"DeferAll 1", "Hold 1 its text could not be read (Is a directory) for longer than the queue keeps a message"},
         6},
        {kText, Text::Given, false, true, {"Hold 1 its queue envelope cannot be read"}, 0},
    };
    for (const auto& c : cases) {
        ResetQueue();
        Queue(1, c.text).AddSender("s@x", "smtp").AddRecipient("u@x", "local");
        if (c.file != Text::Given)
            std::filesystem::remove(dir / "1.msg");
        if (c.file == Text::Directory)
            std::filesystem::create_directory(dir / "1.msg");
        if (!c.envelope)
            doubles::TheQueue().envelopes.clear();
        doubles::TheQueue().deferOk = c.deferOk;
        Agent().SetLastError(0);
        Run();
        Lines wantCalls{"First"};
        wantCalls.insert(wantCalls.end(), c.wantCalls.begin(), c.wantCalls.end());
        wantCalls.push_back("Next");
        EXPECT_EQ(QueueCalls(), wantCalls);
        EXPECT_EQ(Agent().GetLastError(), c.wantError);
        std::filesystem::remove(dir / "1.msg");
    }
    EXPECT_EQ(store.calls, Lines{});
    EXPECT_EQ(DeliveredMessageCount(), 0);
}

// Only local recipients are delivered; an envelope without a sender ends its recipient walk at once.
TEST_F(AgentTest, OnlyLocalRecipientsAreDeliveredAndNoneWithoutASender)
{
    store.users = {"a@x", "b@x"};
    Queue(1).AddSender("s@x", "smtp").AddRecipient("a@x", "LOCAL").AddRecipient("o@y", "smtp").AddRecipient(
        "b@x", "local");
    Queue(2).AddRecipient("a@x", "local").AddRecipient("b@x", "local");
    const Lines lines = Run();
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"5 LocalMail: Processed 2 recipient", "5 LocalMail: Processing message queue <00000002>",
                     "1 LocalMail: Sender information invalid", "5 LocalMail: Processed 1 recipient"}));
    EXPECT_EQ(store.calls, (Lines{"SetProfile a@x", "HomeDir", "HomeDir", "AddUserMsg a@x inbox", "SetProfile b@x",
                                  "HomeDir", "HomeDir", "AddUserMsg b@x inbox"}));
    EXPECT_EQ(QueueCalls(), (Lines{"First", "Free 1", "Remove 1", "Next", "Free 2", "Remove 2", "Next"}));
    EXPECT_EQ(DeliveredMessageCount(), 2);
    EXPECT_FALSE(stop);
}

TEST_F(AgentTest, StoreCodes4And10StopAndKeepTheMessageQueuedUntilTheNextCallOrTheEnd)
{
    for (int code : {10, 4}) {
        ResetQueue();
        store.users = {"a@x", "b@x", "c@x"};
        store.fileCodes["a@x"] = {code};
        locmail::delivery::SetDeliveredMessageCountForTests(0);
        Queue(1).AddSender("s@x", "smtp").AddRecipient("a@x", "local").AddRecipient("b@x", "local").AddRecipient(
            "c@x", "local");
        Lines lines = Run();
        EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
                  (Lines{"1 LocalMail: store code " + std::to_string(code) + " for a@x",
                         "5 LocalMail: Processed 1 recipient"}));
        EXPECT_TRUE(stop);
        EXPECT_EQ(QueueCalls(), (Lines{"First", "Next"})); // neither released nor removed
        EXPECT_EQ(MimeCalls(), Lines{});
        EXPECT_EQ(DeliveredMessageCount(), 1);
        EXPECT_EQ(Agent().GetLastError(), 3);
        if (code == 10) {
            Run(); // the next call lets the kept message go before loading it again
            EXPECT_EQ(QueueCalls(), (Lines{"First", "Free 1", "Free 1", "Remove 1", "Next"}));
        } else {
            doubles::TheQueue().calls.clear();
            agent.reset(); // the text, envelope and body go too (valgrind or ASan would tell)
            EXPECT_EQ(QueueCalls(), (Lines{"Free 1", "Close"}));
        }
    }
}

// A mailbox that cannot take mail now holds back only its own recipient, in
// this message and the next ones, until the entry has outlived the queue.
TEST_F(AgentTest, AnUnavailableMailboxDefersOnlyItsRecipientUntilTheQueueGivesUp)
{
    for (bool deferOk : {true, false}) {
        ResetQueue();
        doubles::TheQueue().deferOk = deferOk;
        store.calls.clear();
        store.users = {"a@x", "A@x", "b@x"}; // one mailbox to the real store; two spellings to this one
        store.fileCodes = {{"a@x", {17}}, {"A@x", {17}}};
        Queue(1).AddSender("s@x", "smtp").AddRecipient("o@y", "smtp").AddRecipient("a@x", "local").AddRecipient(
            "b@x", "local");
        Queue(2).AddSender("s@x", "smtp").AddRecipient("A@x", "local");
        Run();
        EXPECT_FALSE(stop);
        EXPECT_EQ(QueueCalls(), (Lines{"First", "Defer 1 1", "Free 1", "Remove 1", "Next", "Defer 2 0", "Free 2",
                                       "Remove 2", "Next"}));
        if (deferOk) {
            EXPECT_EQ(MimeCalls(), Lines{});
            EXPECT_EQ(store.calls, (Lines{"SetProfile a@x", "HomeDir", "HomeDir", "AddUserMsg a@x inbox", "SetProfile b@x",
                                          "HomeDir", "HomeDir", "AddUserMsg b@x inbox"}));
        } else {
            // Past its lifetime the recipient is returned; the next message tries the mailbox again.
            EXPECT_EQ(MimeCalls().size(), 4u); // New + Bounce, twice
            EXPECT_EQ(std::count(store.calls.begin(), store.calls.end(), "AddUserMsg A@x inbox"), 1);
        }
    }
}

// An entry that came through LMTP: its client returns and retries, so the
// agent only tells each outcome, with the store code the reply is made from;
// under the postmaster policy too, and its log does not claim a notice.
TEST_F(AgentTest, AnLmtpEntryNeitherReturnsNorDefersButTellsEachOutcome)
{
    for (const char* policy : {static_cast<const char*>(nullptr), "Postmaster"}) {
        SCOPED_TRACE(policy ? policy : "no policy");
        SetPolicy(policy);
        struct Listener : locmail::delivery::OutcomeListener {
            Lines seen;
            void OutcomeLogged(const locmail::delivery::OutcomeFacts& facts) override
            {
                seen.push_back(std::string(facts.to) + " " + std::to_string(static_cast<int>(facts.status)) + " " +
                               std::to_string(facts.storeCode));
            }
        } listener;
        ResetQueue();
        doubles::TheQueue().lmtp = true;
        store.users = {"a@x", "b@x"};
        store.fileCodes = {{"a@x", {17}}};
        Queue(1)
            .AddSender("s@x", "smtp")
            .AddRecipient("a@x", "local")
            .AddRecipient("u@x", "local")
            .AddRecipient("b@x", "local");
        locmail::delivery::SetOutcomeListener(&listener);
        Lines lines = Run();
        locmail::delivery::SetOutcomeListener(nullptr);
        EXPECT_EQ(QueueCalls(), (Lines{"First", "Free 1", "Remove 1", "Next"}));
        EXPECT_EQ(MimeCalls(), Lines{});
        EXPECT_EQ(listener.seen, (Lines{"a@x 3 17", "u@x 1 3", "b@x 0 0"})); // deferred, returned, filed
        EXPECT_THAT(
            log.LinesOf("Delivery"),
            Contains("2 Delivery: <00000001> status=returned from=<s@x> to=<u@x> reason=\"store code 3 for u@x\""));
        EXPECT_THAT(lines, Not(Contains("6 LocalMail: Message for Invalid user sent to Postmaster successfully")));
    }
}

TEST_F(AgentTest, The2002ndMessageAndEveryLaterOneAskToStop)
{
    store.users = {"a@x"};
    for (uint32_t id = 1; id <= 4; ++id)
        Queue(id).AddSender("s@x", "smtp").AddRecipient("a@x", "local");
    locmail::delivery::SetDeliveredMessageCountForTests(1999); // messages 1 to 3 are the 2000th to 2002nd
    Run();
    EXPECT_TRUE(stop);
    EXPECT_EQ(Lines(QueueCalls().end() - 3, QueueCalls().end()), (Lines{"Free 3", "Remove 3", "Next"}));

    doubles::TheQueue().ids = {4};
    Run();
    EXPECT_TRUE(stop);
    EXPECT_EQ(QueueCalls(), (Lines{"First", "Free 4", "Remove 4", "Next"}));
}

} // namespace
