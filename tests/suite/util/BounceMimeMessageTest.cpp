// BounceMimeMessage as the anti-spam code calls it: a "DSN" record with flag
// 0x80, the reason as a text chain, 0, 0.
#include "suite/util/BounceMimeMessage.h"

#include "suite/mq/Envelope.h"
#include "suite/vexclass/HostName.h"
#include "suite/vexclass/OutgoingMail.h"
#include "support/CaptureLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kSpam = "From: spammer@junk.example\r\nSubject: WIN\r\n\r\nBuy now\r\n";

class BounceMimeMessageTest : public mimetest::MailTest {
protected:
    // The record BounceToSender fills: sender, "", 0x80, 0, "", "DSN".
    int Bounce(const std::string& path, const char* sender, const std::vector<const char*>& reasons)
    {
        std::string address = sender;
        char empty[] = "";
        char kind[] = "DSN";
        _envFrom record{address.data(), empty, 0x80, 0, empty, kind};
        locmail::StringChain chain;
        for (const char* r : reasons)
            EXPECT_EQ(appendString(chain, r), 1);
        int result = BounceMimeMessage(path.c_str(), &record, chain, 0, 0);
        freeStringChain(chain);
        return result;
    }
};

TEST_F(BounceMimeMessageTest, RefusedMessageGoesBackAsARefusalReport)
{
    std::string path = QueueOriginal(kSpam, "spammer@junk.example", {"user@local.example"});
    ASSERT_EQ(Bounce(path, "spammer@junk.example", {"Please stop sending ", "spam message to me."}), 0);
    auto mail = Outgoing();
    ASSERT_EQ(mail.size(), 1u);
    mimetest::ExpectReturnedMail(
        mail[0], "spammer@junk.example", "Please stop sending spam message to me.",
        "Reporting-MTA: dns; " + locmail::LocalHostName() + "\r\nArrival-Date: " + mimetest::kArrival +
            "\r\n\r\nFinal-Recipient: rfc822; user@local.example\r\nAction: failed\r\n"
            "Status: 5.7.1\r\nDiagnostic-Code: x-locmail; Please stop sending spam message to me.\r\n",
        kSpam);
}

TEST_F(BounceMimeMessageTest, NullSenderAndFailuresSendNothing)
{
    std::string path = QueueOriginal(kSpam, "", {"user@local.example"});
    locmail::log::CaptureLog log;
    EXPECT_EQ(Bounce(path, "", {"spam"}), 0) << "dropping a bounce to <> is not a failure";
    log.Clear();
    EXPECT_EQ(Bounce(path + "-gone", "spammer@junk.example", {"spam"}), ENOENT);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"1 Utility: Cannot read the returned message " + path +
                                                    "-gone.msg: No such file or directory"});
    EXPECT_TRUE(Outgoing().empty());
}

} // namespace
