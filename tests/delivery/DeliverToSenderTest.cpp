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
    const std::string refused = "Bounce s@x|0|\r\nu@x is unable to receive mail at this time\r\n\r\n";
    const std::string code3 = "1 LocalMail: store code 3 for u@x";
    const std::string cannot = "1 LocalMail: cannot Bounce";
    const Lines noticeUnknown{"New ,", "SendToPostmaster Unknown recipient:  u@x\r\n"};
    const Lines noticeError{"New ,", "SendToPostmaster Mailbox error:  u@x\r\n"};
    // The one outcome line: returned or discarded, with the reason.
    const std::string ret = "returned from=<s@x> to=<u@x> reason=\"";
    const std::string del = "discarded from=<s@x> to=<u@x> reason=\"";
    const std::string pm = " (sent to the postmaster)\"";
    const std::string cfg = " (MailForInvalidLocalUser=Delete)\"";
    struct Case {
        const char* policy; // null: no key
        int code;
        const char* throwOn;
        Lines wantMime;
        std::string wantLine; // the line before "Processed ..."; "": not checked
        std::string wantOutcome;
    } cases[] = {
        {nullptr, 3, "", {"New \"", unknown}, code3, ret + "store code 3 for u@x\""},
        {"anything", 3, "", {"New \"", unknown}, code3, ret + "store code 3 for u@x\""},
        {nullptr, 46, "", {"New \"", unknown}, "", ret + "store code 46 for u@x\""},
        {nullptr, 3, "Bounce", {"New \"", unknown}, cannot, ret + "store code 3 for u@x\""},
        {nullptr, 0, "", {"New \"", refused}, "", ret + "the user may not receive mail at this time\""},
        {nullptr, 16, "", {"New \"", mailboxError}, "", ret + "store code 16 for u@x\""},
        {nullptr, 16, "Bounce", {"New \"", mailboxError}, cannot, ret + "store code 16 for u@x\""},
        {"postmaster", 39, "", noticeUnknown, sent, ret + "store code 39 for u@x" + pm},
        {"POSTMASTER", 56, "", noticeUnknown, sent, ret + "store code 56 for u@x" + pm},
        {"PostMaster", 6, "", noticeError, sent, ret + "store code 6 for u@x" + pm},
        {"Delete", 3, "", {}, deleted, del + "store code 3 for u@x" + cfg},
        {"delete", 16, "", {}, deleted, del + "store code 16 for u@x" + cfg},
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
        EXPECT_EQ(log.LinesOf("Delivery"), Lines{"2 Delivery: <00000001> status=" + c.wantOutcome});
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
