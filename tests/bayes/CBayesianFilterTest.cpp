// CBayesianFilter: its log, the settings it takes the spam texts from, and the
// bounces it hands to the suite's bounce service.
#include "bayes/CBayesianFilter.h"

#include "antispam/CAntiSpamConfig.h"
#include "suite/vexclass/HostName.h"
#include "suite/vexclass/OutgoingMail.h"
#include "support/CaptureLog.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;
const std::string kSpam = "From: spammer@junk.example\r\nTo: ann@local.example\r\nSubject: WIN\r\n\r\nBuy now\r\n";

TEST(CBayesianFilterLog, LinesAreCutAndTheLengthWrittenIsReturned)
{
    locmail::log::CaptureLog log;
    CBayesianFilter filter;
    EXPECT_EQ(filter.Log(6, "run %d", 1), 5);
    EXPECT_EQ(filter.Log(1, "%s", std::string(9000, 'x').c_str()), 8191);
    EXPECT_EQ(log.Lines(), (Lines{"6 Bayesian filter: run 1", "1 Bayesian filter: " + std::string(8191, 'x')}));
}

class CBayesianFilterTest : public mimetest::MailTest {
protected:
    void SetUp() override
    {
        mimetest::MailTest::SetUp();
        path = QueueOriginal(kSpam, "spammer@junk.example", {"ann@local.example"}) + ".msg";
    }
    // The subject line ChangeSubject writes with the settings of an antispam.cfg holding CONFIG.
    std::string SubjectWith(const std::string& config)
    {
        testsupport::WriteFile(tmp_ / "antispam.cfg", config);
        settings = std::make_unique<CAntiSpamConfig>(tmp_.path().c_str());
        filter.SetAntiSpamConfig(settings.get());
        const std::string out = tmp_ / "lmda0001";
        if (!filter.ChangeSubject(path.c_str(), out.c_str()))
            return "<failed>";
        const std::string text = testsupport::ReadFile(out);
        return text.substr(text.find("Subject:"), text.find("\r\n\r\n") - text.find("Subject:"));
    }

    std::string path;
    CBayesianFilter filter;
    std::unique_ptr<CAntiSpamConfig> settings;
};

TEST_F(CBayesianFilterTest, SubjectTextAndBounceReasonComeFromTheRecipientsSettings)
{
    EXPECT_EQ(SubjectWith(""), "Subject: ***** SPAM MAIL REPORTED BY BAYESIAN FILTER *****");
    ASSERT_TRUE(filter.BounceSpam("spammer@junk.example", path.c_str()));
    EXPECT_EQ(SubjectWith("SpamSubject=\r\nBounceReason=Go away.\r\n"), "Subject: ");
    ASSERT_TRUE(filter.BounceSpam("spammer@junk.example", path.c_str()));

    const auto mail = Outgoing();
    ASSERT_EQ(mail.size(), 2u);
    const char* reasons[] = {"Please stop sending spam message to me.", "Go away."};
    for (std::size_t i = 0; i < mail.size(); ++i) {
        mimetest::ExpectReturnedMail(mail[i], "spammer@junk.example", reasons[i],
                                     "Reporting-MTA: dns; " + locmail::LocalHostName() +
                                         "\r\nArrival-Date: " + mimetest::kArrival +
                                         "\r\n\r\nFinal-Recipient: rfc822; ann@local.example\r\n"
                                         "Action: failed\r\nStatus: 5.7.1\r\nDiagnostic-Code: x-locmail; " +
                                         reasons[i] + "\r\n",
                                     kSpam);
    }
}

TEST_F(CBayesianFilterTest, BounceToSenderResults)
{
    struct Case {
        const char* sender;
        std::string path;
        bool want;
        std::size_t mails;
    } cases[] = {
        {"spammer@junk.example", path, true, 1},
        {"spammer@junk.example", path + ".x", false, 0}, // only the last extension is cut
        {"", path, true, 0},                             // null reverse path: nothing to send
        {"spammer@junk.example", path.substr(0, path.size() - 5) + "0.msg", false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(filter.BounceToSender(c.sender, c.path.c_str(), "Blocked relay"), c.want) << c.path;
        EXPECT_EQ(Outgoing(true).size(), c.mails) << c.path;
    }
    locmail::log::CaptureLog log;
    EXPECT_FALSE(filter.BounceToSender("spammer@junk.example", nullptr, "x"));
    EXPECT_FALSE(filter.BounceSpam("spammer@junk.example", path.c_str())) << "no settings set";
    EXPECT_EQ(log.Lines(), Lines{"1 Bayesian filter: BounceSpam - No anti-spam settings for this delivery"});
}

} // namespace
