// Refused recipients: the invalid-recipient policy, returned mail and the
// postmaster notice, as the composer receives them.
#include "AgentFixture.h"

namespace {

// The store's failure for u@x (0: u@x may not receive mail now) under each policy, with the composer
// failing or not; the sender record's returned-mail mark is put back afterwards.
TEST_F(AgentTest, PolicyChoosesBounceNoticeOrDeletionWithTheReasonText)
{
    const std::string unknown = "Bounce s@x|128|No existing mailbox for u@x\r\n\r\n";
    const std::string mailboxError = "Bounce s@x|0|Mailbox error occurred while delivering message to u@x\r\n\r\n";
    const std::string sent = "6 LocalMail: Message for Invalid user sent to Postmaster successfully";
    const std::string deleted = "6 LocalMail: Message for Invalid user deleted successfully";
    struct Case {
        const char* policy; // null: no key
        int code;
        const char* throwOn;
        Lines wantMime;
        std::string wantLine; // the line before "Processed ..."; "": not checked
    } cases[] = {
        {nullptr, 3, "", {"New \"", unknown}, "1 LocalMail: store code 3 for u@x"},
        {"anything", 3, "", {"New \"", unknown}, "1 LocalMail: store code 3 for u@x"},
        {nullptr, 46, "", {"New \"", unknown}, ""},
        {nullptr, 3, "Bounce", {"New \"", unknown}, "1 LocalMail: cannot Bounce"},
        {nullptr, 0, "", {"New \"", "Bounce s@x|0|\r\nu@x is unable to receive mail at this time\r\n\r\n"}, ""},
        {nullptr, 16, "", {"New \"", mailboxError}, ""},
        {nullptr, 16, "Bounce", {"New \"", mailboxError}, "1 LocalMail: cannot Bounce"},
        {"postmaster", 39, "", {"New ,", "SendToPostmaster Unknown recipient:  u@x\r\n"}, sent},
        {"POSTMASTER", 56, "", {"New ,", "SendToPostmaster Unknown recipient:  u@x\r\n"}, sent},
        {"PostMaster", 6, "", {"New ,", "SendToPostmaster Mailbox error:  u@x\r\n"}, sent},
        {"Delete", 3, "", {}, deleted},
        {"delete", 16, "", {}, deleted},
    };
    store.users = {"u@x"};
    _envFrom& sender = *static_cast<_envFrom*>(
        Queue(1).AddSender("s@x", "smtp").AddRecipient("u@x", "local").Envelope()->from.head->item);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.policy ? c.policy : "no key") + " " + std::to_string(c.code) + " " + c.throwOn);
        SetPolicy(c.policy);
        store.refused.clear();
        if (c.code == 0)
            store.refused.insert("u@x");
        store.fileCodes["u@x"] = {c.code};
        doubles::TheMime().throwOn = c.throwOn;
        Lines lines = Run();
        Lines wantMime = c.wantMime;
        if (!wantMime.empty())
            wantMime[1] += "|" + dir / "1"; // the queue file without extension
        EXPECT_EQ(MimeCalls(), wantMime);
        if (!c.wantLine.empty()) {
            EXPECT_EQ(lines[lines.size() - 2], c.wantLine);
        }
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

} // namespace
