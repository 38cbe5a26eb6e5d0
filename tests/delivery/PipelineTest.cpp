// Routing a recipient: shared mailboxes, users, refused users, refiling after
// a missing folder, and addresses that do not fit.
#include "AgentFixture.h"

namespace {

TEST_F(AgentTest, SharedMailboxesUsersAndRefusedUsers)
{
    struct Case {
        std::string address;
        Lines wantLog, wantStore;
        std::size_t wantMails;
        Lines wantSettings = {}; // the user's antispam.cfg is read for users only
    } cases[] = {
        {"box@x",
         {"5 LocalMail: Delivering message to shared mailbox <box@x>", "5 LocalMail: Message delivered successfully"},
         {"SetProfile box@x", "AddSharedMsg box@x ''"}, 0},
        {"u@x",
         {"5 LocalMail: Delivering message to user <u@x>", "5 LocalMail: Home directory for <u@x> is </home/u@x>",
          "5 LocalMail: Bayesian Filter is not enabled", "5 LocalMail: Message delivered successfully"},
         {"SetProfile u@x", "HomeDir", "HomeDir", "AddUserMsg u@x inbox"}, 0,
         {"5 AntiSpam Config: Loading antispam configuration file: /home/u@x/antispam.cfg",
          "5 AntiSpam Config: Done"}},
        {"r@x",
         {"5 LocalMail: Delivering message to user <r@x>",
          "2 LocalMail: User not allowed to receive mail at this time, bouncing message to sender...."},
         {"SetProfile r@x"}, 2},
    };
    store.shared = {"box@x"};
    store.users = {"u@x", "r@x"};
    store.refused = {"r@x"};
    for (const auto& c : cases) {
        ResetQueue();
        store.calls.clear();
        Queue(1).AddSender("s@x", "smtp").AddRecipient(c.address, "local");
        EXPECT_EQ(Inner(Run()), c.wantLog) << c.address;
        EXPECT_EQ(store.calls, c.wantStore) << c.address;
        EXPECT_EQ(MimeCalls().size(), c.wantMails) << c.address;
        EXPECT_EQ(log.LinesOf("AntiSpam Config"), c.wantSettings) << c.address;
    }
}

TEST_F(AgentTest, MissingFolderRefilesThenAppliesThePolicy)
{
    store.shared = {"box@x"};
    store.users = {"u@x"};
    store.fileCodes = {{"box@x", {14}}, {"u@x", {14, 16}}};
    Queue(1).AddSender("s@x", "smtp").AddRecipient("box@x", "local").AddRecipient("u@x", "local");
    Run();
    EXPECT_EQ(store.calls, (Lines{"SetProfile box@x", "AddSharedMsg box@x ''", "AddSharedMsg box@x ''",
                                  "SetProfile u@x", "HomeDir", "HomeDir", "AddUserMsg u@x inbox", "AddUserMsg u@x inbox"}));
    // Both are then bounced; the failed refile leaves the last-error code alone.
    ASSERT_EQ(MimeCalls().size(), 4u);
    EXPECT_EQ(MimeCalls()[3],
              "Bounce s@x|0|Mailbox error occurred while delivering message to u@x\r\n\r\n|" + dir / "1");
}

TEST_F(AgentTest, AddressesThatDoNotFit)
{
    const std::string longName(CLocalMail::kAddressSize, 'a');
    store.users = {"u@x"};
    Queue(1).AddSender(longName, "smtp").AddRecipient("u@x", "local").AddRecipient(longName, "local");
    Lines lines = Run();
    EXPECT_EQ(lines[1], "2 LocalMail: Sender address of 1024 characters is too long; using an empty sender");
    EXPECT_EQ(lines[lines.size() - 2],
              "1 LocalMail: Recipient address of 1024 characters is too long for a local mailbox");
    EXPECT_EQ(store.calls, (Lines{"SetProfile u@x", "HomeDir", "HomeDir", "AddUserMsg u@x inbox"}));
    EXPECT_STREQ(Agent().GetSender(), "");
    // Returned to the envelope's own sender, naming the recipient as far as it fits.
    EXPECT_EQ(MimeCalls(), (Lines{"New \"", "Bounce " + longName + "|128|No existing mailbox for " +
                                                longName.substr(0, CLocalMail::kAddressSize - 1) + "\r\n\r\n|" +
                                                dir / "1"}));
}

} // namespace
