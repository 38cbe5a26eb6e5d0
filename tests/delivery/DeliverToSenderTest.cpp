// Refused recipients: the invalid-recipient policy, returned mail and the
// postmaster notice, as the composer receives them.
#include "AgentFixture.h"

namespace {

TEST_F(AgentTest, PolicyChoosesBounceNoticeOrDeletion)
{
    const std::string unknown = "No existing mailbox for u@x\r\n\r\n";
    const std::string sent = "6 LocalMail: Message for Invalid user sent to Postmaster successfully";
    const std::string deleted = "6 LocalMail: Message for Invalid user deleted successfully";
    struct Case {
        const char* policy; // null: no key
        int code;           // the store's failure for u@x
        Lines wantMime;
        std::string wantLine;
    } cases[] = {
        {nullptr, 3, {"New \"", "Bounce s@x|128|" + unknown}, "1 LocalMail: store code 3 for u@x"},
        {"anything", 3, {"New \"", "Bounce s@x|128|" + unknown}, "1 LocalMail: store code 3 for u@x"},
        {"postmaster", 39, {"New ,", "SendToPostmaster Unknown recipient:  u@x\r\n"}, sent},
        {"POSTMASTER", 56, {"New ,", "SendToPostmaster Unknown recipient:  u@x\r\n"}, sent},
        {"PostMaster", 6, {"New ,", "SendToPostmaster Mailbox error:  u@x\r\n"}, sent},
        {"Delete", 3, {}, deleted},
        {"delete", 16, {}, deleted},
    };
    store.users = {"u@x"};
    Queue(1).AddSender("s@x", "smtp").AddRecipient("u@x", "local");
    _envFrom& sender = FirstSender(1);
    for (const auto& c : cases) {
        SetPolicy(c.policy);
        store.fileCodes["u@x"] = {c.code};
        Lines lines = Run();
        Lines wantMime = c.wantMime;
        if (!wantMime.empty())
            wantMime[1] += "|" + dir / "1"; // the queue file without extension
        EXPECT_EQ(lines[lines.size() - 2], c.wantLine) << (c.policy ? c.policy : "no key");
        EXPECT_EQ(MimeCalls(), wantMime) << (c.policy ? c.policy : "no key");
        EXPECT_EQ(sender.flags, 0u);
    }
}

TEST_F(AgentTest, PolicyIsReadForEveryRefusedRecipient)
{
    Queue(1).AddSender("s@x", "smtp").AddRecipient("u@x", "local").AddRecipient("v@x", "local");
    store.onProfile = [this](const std::string& address) {
        if (address == "v@x")
            SetPolicy("Delete");
    };
    Lines lines = Run();
    EXPECT_EQ(MimeCalls().size(), 2u); // u@x: New, Bounce
    EXPECT_EQ(lines[lines.size() - 2], "6 LocalMail: Message for Invalid user deleted successfully");
}

TEST_F(AgentTest, ReasonTextsAndTheReturnedMailMark)
{
    struct Case {
        int code; // 0: the user may not receive mail now
        std::string throwOn, want;
    } cases[] = {
        {46, "", "s@x|128|No existing mailbox for u@x\r\n\r\n"},
        {3, "Bounce", "s@x|128|No existing mailbox for u@x\r\n\r\n"},
        {0, "", "s@x|0|\r\nu@x is unable to receive mail at this time\r\n\r\n"},
        {16, "", "s@x|0|Mailbox error occurred while delivering message to u@x\r\n\r\n"},
        {16, "Bounce", "s@x|0|Mailbox error occurred while delivering message to u@x\r\n\r\n"},
    };
    store.users = {"u@x"};
    Queue(1).AddSender("s@x", "smtp").AddRecipient("u@x", "local");
    _envFrom& sender = FirstSender(1);
    for (const auto& c : cases) {
        store.refused.clear();
        if (c.code == 0)
            store.refused.insert("u@x");
        store.fileCodes["u@x"] = {c.code};
        doubles::TheMime().throwOn = c.throwOn;
        Lines lines = Run();
        EXPECT_EQ(MimeCalls(), (Lines{"New \"", "Bounce " + c.want + "|" + dir / "1"})) << c.code;
        if (!c.throwOn.empty()) {
            EXPECT_EQ(lines[lines.size() - 2], "1 LocalMail: cannot Bounce");
        }
        EXPECT_EQ(sender.flags, 0u) << c.code;
    }
}

} // namespace
