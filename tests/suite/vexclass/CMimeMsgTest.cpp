// CMimeMsg end to end: what lands on "localout", envelope and text, read back.
#include "suite/vexclass/CMimeMsg.h"
#include "suite/vexclass/CVEXIniSetting.h"
#include "suite/vexclass/HostName.h"

#include "suite/mq/Envelope.h"
#include "suite/mq/QueueState.h"
#include "suite/vexclass/OutgoingMail.h"
#include "support/CaptureLog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr char kQuote = '"';
const std::string kOriginal = "From: Alice <alice@remote.example>\r\nTo: nobody@local.example\r\nSubject: Hi\r\n"
                              "\r\nHi there,\r\n\r\n-- \r\nAlice\r\n";
char kSender[] = "alice@remote.example";
char kLocal[] = "local";
char kEmpty[] = "";

_envFrom Record(char* address, uint32_t flags) { return _envFrom{address, kEmpty, flags, 0, kEmpty, kLocal}; }

class CMimeMsgTest : public mimetest::MailTest {};

TEST_F(CMimeMsgTest, BounceReturnsTheOriginalInADeliveryStatusNotification)
{
    // The first line of reason is what the text part must show.
    struct Case {
        uint32_t flags;
        std::string reason, status;
        std::vector<std::string> finalRecipients;
    };
    const std::vector<Case> cases = {
        {0x80, "No existing mailbox for nobody@local.example\r\n\r\n", "5.1.1", {"nobody@local.example"}},
        {0, "\r\nMailbox error for FINE@local.example\r\n\r\n", "5.2.0", {"fine@local.example"}},
        {0, "", "5.2.0", {"nobody@local.example", "fine@local.example"}},
    };
    locmail::mime::Stamps fixed{"Mon, 1 Jan 2024 10:05:00 +0000 (UTC)", "<dsn.1@mail.example>", "=_locmail-test",
                                "mail.example"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status + " " + c.reason);
        std::string path = QueueOriginal(kOriginal, kSender, {"nobody@local.example", "fine@local.example"});
        _envFrom from = Record(kSender, c.flags);
        CMimeMsg("LocalMail", kQuote, fixed).Bounce(&from, c.reason.c_str(), path.c_str());

        auto mail = Outgoing(true);
        ASSERT_EQ(mail.size(), 1u);
        std::string status =
            "Reporting-MTA: dns; mail.example\r\nArrival-Date: " + std::string(mimetest::kArrival) + "\r\n";
        auto first = c.reason.find_first_not_of("\r\n");
        std::string reason =
            c.reason.empty() ? "No reason was given." : c.reason.substr(first, c.reason.find('\r', first) - first);
        for (const auto& rcpt : c.finalRecipients)
            status += "\r\nFinal-Recipient: rfc822; " + rcpt + "\r\nAction: failed\r\nStatus: " + c.status + "\r\n" +
                      (c.reason.empty() ? "" : "Diagnostic-Code: x-locmail; " + reason + "\r\n");
        mimetest::ExpectReturnedMail(mail[0], kSender, reason, status, kOriginal);
        if (c.flags == 0x80) {
            std::string golden = std::string(LOCMAIL_TEST_DATA) + "/mime/dsn-unknown-mailbox.eml";
            if (std::getenv("LOCMAIL_UPDATE_GOLDEN"))
                testsupport::WriteFile(golden, mail[0].text);
            EXPECT_EQ(mail[0].text, testsupport::ReadFile(golden)) << "golden file " << golden;
        }
    }
}

TEST_F(CMimeMsgTest, ReportNamesTheFailedRecipientAndALargeOriginalGoesBackAsItsHeader)
{
    testsupport::WriteFile(config_, "[Mail]\nPostmaster = pm@mail.example\nReturnedMessageMaxBytes = 40\n"
                                    "[Gateway]\nHostName = mx.example\n");
    std::string path = QueueOriginal(kOriginal, kSender, {"nobody@local.example", "fine@local.example"});
    _envFrom from = Record(kSender, 0);
    CMimeMsg("LocalMail", kQuote)
        .Bounce(&from, "Mailbox error for fine@local.example", path.c_str(), "nobody@local.example");
    auto mail = Outgoing(true);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].Part(1),
              "Reporting-MTA: dns; mx.example\r\nArrival-Date: " + std::string(mimetest::kArrival) +
                  "\r\n\r\nFinal-Recipient: rfc822; nobody@local.example\r\nAction: failed\r\n"
                  "Status: 5.2.0\r\nDiagnostic-Code: x-locmail; Mailbox error for fine@local.example\r\n");
    EXPECT_EQ(mail[0].PartType(2), "TEXT/RFC822-HEADERS");
    EXPECT_EQ(mail[0].Part(2), kOriginal.substr(0, kOriginal.find("\r\n\r\n") + 2));
}

TEST_F(CMimeMsgTest, BounceToTheNullReversePathIsDroppedWithALogLine)
{
    std::string path = QueueOriginal(kOriginal, "", {"nobody@local.example"});
    for (char* address : {kEmpty, static_cast<char*>(nullptr)}) {
        locmail::log::CaptureLog log;
        _envFrom from = Record(address, 0x80);
        CMimeMsg("LocalMail", kQuote).Bounce(&from, "No existing mailbox for nobody@local.example", path.c_str());
        EXPECT_EQ(log.Lines(), std::vector<std::string>{"5 LocalMail: Returned mail for " + path +
                                                        " not sent: the message has the null reverse path"});
    }
    EXPECT_TRUE(Outgoing().empty());
}

TEST_F(CMimeMsgTest, MailGoesToItsRecipientsFromItsSender)
{
    std::string queued = QueueOriginal(kOriginal, kSender, {"x@local.example"});
    struct Case { // sender: the envelope's, "" for notices
        const char* name;
        char separator;
        std::function<void(CMimeMsg&)> send;
        std::string sender;
        std::vector<std::string> recipients;
        bool attached;
        std::string from = ""; // the From address when it is not the envelope's
        std::vector<std::string> fields = {};
    };
    const std::string attachment = queued + ".msg";
    auto toList = [&](const char* list, const char* attach) {
        return [=](CMimeMsg& m) {
            m.InitRecip(list);
            m.InitMsgBody("Body\r\n");
            if (attach)
                m.InitAttachment(attach);
            m.Send("pm@mail.example", "Unable to deliver mail");
        };
    };
    const std::vector<Case> cases = {
        {"comma list with blanks and empty items",
         ',',
         toList(" a@x.example,b@y.example ,, , c ", nullptr),
         "pm@mail.example",
         {"a@x.example", "b@y.example", "c@host.example"},
         false},
        {"quote list with the queued message attached",
         kQuote,
         toList("alice@remote.example\"pm@mail.example", attachment.c_str()),
         "pm@mail.example",
         {"alice@remote.example", "pm@mail.example"},
         true},
        {"postmaster notice",
         ',',
         [&](CMimeMsg& m) { m.SendToPostmaster("Body\r\n", queued.c_str()); },
         "",
         {"pm@mail.example"},
         true,
         "MAILER-DAEMON@mail.example"},
        {"automatic reply",
         ',',
         [](CMimeMsg& m) {
             m.MarkAutoReply("<o@host.example>", "<r@host.example>");
             m.Send("user@local.example", "alice@remote.example", "Away", "Body\r\n", nullptr);
         },
         "",
         {"alice@remote.example"},
         false,
         "user@local.example",
         {"\r\nIn-Reply-To: <o@host.example>\r\n", "\r\nReferences: <r@host.example> <o@host.example>\r\n",
          "\r\nAuto-Submitted: auto-replied\r\n\r\nBody\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeMsg msg("LocalMail", c.separator, {"", "", "", "host.example"});
        c.send(msg);
        auto mail = Outgoing(true);
        ASSERT_EQ(mail.size(), 1u);
        const mimetest::Mail& m = mail[0];
        EXPECT_EQ(m.sender, c.sender);
        EXPECT_EQ(m.recipients, c.recipients);
        EXPECT_EQ(locmail::cclient::EnvelopeFromAddress(m.parsed.envelope.get()), c.from.empty() ? c.sender : c.from);
        for (const std::string& field : c.fields)
            EXPECT_TRUE(m.Has(field)) << field << "\n" << m.text;
        EXPECT_NE(locmail::cclient::EnvelopeDate(m.parsed.envelope.get()), nullptr);
        EXPECT_TRUE(m.Has("@host.example>\r\nMIME-Version: 1.0\r\n")) << m.text;
        ASSERT_EQ(m.Type(), c.attached ? "MULTIPART/MIXED" : "TEXT/PLAIN");
        if (c.attached) {
            EXPECT_EQ(m.Part(0), "Body\r\n");
            EXPECT_EQ(m.PartType(1), "MESSAGE/RFC822");
            EXPECT_EQ(m.Part(1), kOriginal);
        }
    }
}

TEST_F(CMimeMsgTest, FailuresThrowAndQueueNothing)
{
    std::string missing = tmp_ / "gone";
    const std::vector<std::pair<std::function<void(CMimeMsg&)>, int>> cases = {
        {[&](CMimeMsg& m) { m.InitAttachment(missing.c_str()); }, ENOENT},
        {[](CMimeMsg& m) { m.Send("pm@mail.example", "a@b.example <", "s", "b", nullptr); },
         CMimeMsgException::kBadMessage},
        {[&](CMimeMsg& m) { m.SendToPostmaster("n", missing.c_str()); }, ENOENT},
        {[&](CMimeMsg& m) {
             _envFrom from = Record(kSender, 0x80);
             m.Bounce(&from, "r", missing.c_str());
         },
         ENOENT},
        {[&](CMimeMsg& m) {
             locmail::mq::SetQueueSettings({});
             m.Send("pm@mail.example", "a@b.example", "s", "b", nullptr);
         },
         CMimeMsgException::kQueueFailure},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        CMimeMsg msg("LocalMail", ',');
        try {
            cases[i].first(msg);
            ADD_FAILURE() << "case " << i << ": nothing thrown";
        }
        catch (const CMimeMsgException& e) {
            EXPECT_EQ(e.GetLastError(), cases[i].second) << "case " << i << ": " << e.GetLastErrorMsg();
        }
    }
    ASSERT_TRUE(MQInit(queue_.c_str(), "Queue"));
    EXPECT_TRUE(Outgoing().empty());
    EXPECT_TRUE(mqtest::Names(Path("tmp")).empty()) << "no half-built entry";
}

TEST_F(CMimeMsgTest, PostmasterDefaultsToThisHost)
{
    EXPECT_EQ(CVEXIniSetting().GetPostmaster(), "pm@mail.example");
    testsupport::WriteFile(config_, "[Mail]\n");
    EXPECT_EQ(CVEXIniSetting().GetPostmaster(), "postmaster@" + locmail::LocalHostName());
}

} // namespace
