// Routing a recipient: shared mailboxes, users, refused users, refiling after
// a missing folder, addresses that do not fit, and the X Scanner step.
#include "AgentFixture.h"

namespace {

// The user's antispam.cfg is read for users only; a refused user's mail goes back.
// Each recipient gets one outcome line with the copy the store noted.
TEST_F(AgentTest, SharedMailboxesUsersAndRefusedUsers)
{
    const std::string refused = "reason=\"the user may not receive mail at this time\"";
    const std::string inbox = "folder=inbox uid=";
    struct Case {
        std::string address;
        Lines wantStore;
        std::size_t wantMails;
        bool readsSettings;
        std::string wantStatus, wantWhere; // in the outcome line
    } cases[] = {
        {"box@x", {"SetProfile box@x", "AddSharedMsg box@x ''"}, 0, false, "filed", inbox + "1"},
        {"u@x", {"SetProfile u@x", "HomeDir", "HomeDir", "AddUserMsg u@x inbox"}, 0, true, "filed", inbox + "2"},
        {"r@x", {"SetProfile r@x"}, 2, false, "returned", refused},
    };
    store.shared = {"box@x"};
    store.users = {"u@x", "r@x"};
    store.refused = {"r@x"};
    for (const auto& c : cases) {
        ResetQueue();
        store.calls.clear();
        Queue(1).AddSender("s@x", "smtp").AddRecipient(c.address, "local");
        Run();
        EXPECT_EQ(store.calls, c.wantStore) << c.address;
        EXPECT_EQ(MimeCalls().size(), c.wantMails) << c.address;
        EXPECT_EQ(log.LinesOf("AntiSpam Config").empty(), !c.readsSettings) << c.address;
        const std::string level = c.wantStatus == "filed" ? "5" : "2";
        EXPECT_EQ(log.LinesOf("Delivery"), Lines{level + " Delivery: <00000001> status=" + c.wantStatus +
                                                 " from=<s@x> to=<" + c.address + "> " + c.wantWhere});
    }
}

TEST_F(AgentTest, MissingFolderRefilesThenAppliesThePolicy)
{
    store.shared = {"box@x"};
    store.users = {"u@x"};
    store.fileCodes = {{"box@x", {14}}, {"u@x", {14, 16}}};
    store.flagUnkeyed = true; // the refile too is recognised if the entry comes again
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

// The X Scanner's verdict ends the delivery or lets it go on, with its line.
TEST_F(AgentTest, XScannerVerdictEndsOrContinuesTheDelivery)
{
    testsupport::WriteFile(dir / "directory.ldif", "dn: cn=PreProcessor\nobjectClass: qxconfig\ncn: PreProcessor\n"
                                                   "x-vexblaction: passed.example,P,i\n");
    testsupport::WriteFile(dir / "qxmta.ini", "[Ldap]\nLdifFile=directory.ldif\n");
    store.users = {"u@x"};
    const struct {
        std::string header, line;
        bool filed;
    } cases[] = {
        {"X-vexbl: listed.example/1.2.3.4\r\n", "6 LocalMail: The message has been discarded by X Scanner", false},
        {"X-vexbl: passed.example/1.2.3.4\r\n", "6 LocalMail: X Scanner has been disabled for user <u@x>", true},
    };
    for (const auto& c : cases) {
        ResetQueue();
        store.calls.clear();
        Queue(1, c.header + kText).AddSender("s@x", "smtp").AddRecipient("u@x", "local");
        const Lines lines = Run();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.header;
        EXPECT_EQ(std::count(store.calls.begin(), store.calls.end(), "AddUserMsg u@x inbox"), c.filed) << c.header;
    }
}

} // namespace
