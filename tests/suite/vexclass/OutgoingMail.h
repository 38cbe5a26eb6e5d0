// Test helpers for mail the shared classes queue: a fresh queue (MQInit) and a
// qxmta.ini naming the postmaster per test; the entries on "localout" read back
// with their envelope and parsed with the c-client parser.
#pragma once

#include "suite/cclient/Accessors.h"
#include "suite/cclient/PartAccess.h"
#include "suite/cclient/ParseText.h"
#include "suite/mq/QueueFixture.h"
#include "suite/mq/QueueListing.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace mimetest {

inline constexpr const char* kArrival = "Mon, 01 Jan 2024 10:00:00 +0000";

struct Mail {
    std::string sender;                   // envelope reverse path
    std::vector<std::string> recipients;  // envelope recipients, all on "localout"
    std::string text;
    locmail::cclient::ParsedMessage parsed;

    std::string Type() const { return locmail::cclient::BodyType(parsed.body.get()); }
    std::string PartType(std::size_t i) const { return locmail::cclient::BodyType(At(i)); }
    std::string_view Part(std::size_t i) const
    {
        return locmail::cclient::PartContents(At(i), std::string_view(text).substr(text.find("\r\n\r\n") + 4));
    }
    bool Has(std::string_view piece) const { return text.find(piece) != std::string::npos; }

private:
    const mail_bodystruct* At(std::size_t i) const { return locmail::cclient::BodyPart(parsed.body.get(), i); }
};

class MailTest : public mqtest::QueueTest {
protected:
    void SetUp() override
    {
        mqtest::QueueTest::SetUp();
        config_ = tmp_ / "qxmta.ini";
        testsupport::WriteFile(config_, "[Mail]\nPostmaster = pm@mail.example\n");
        ::setenv("LOCMAIL_CONFIG", config_.c_str(), 1);
    }

    // Queues TEXT on "local" for RECIPIENTS, arrived at kArrival; the entry's
    // path without extension.
    std::string QueueOriginal(const std::string& text, const std::string& sender,
                              const std::vector<std::string>& recipients)
    {
        std::vector<mqtest::Recipient> rcpts;
        for (const auto& r : recipients)
            rcpts.push_back({r, "local"});
        std::string path = GetMQPathName(mqtest::Inject(text, sender, rcpts), "");
        struct timespec times[2] = {{1704103200, 0}, {1704103200, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, (path + ".msg").c_str(), times, 0), 0);
        return path;
    }

    // The entries on "localout", in id order; Forget takes them off the channel.
    std::vector<Mail> Outgoing(bool forget = false)
    {
        std::vector<Mail> out;
        for (const auto& entry : locmail::mq::ListEntries(queue_).entries) {
            if (std::find(entry.channels.begin(), entry.channels.end(), "localout") == entry.channels.end())
                continue;
            Mail& mail = out.emplace_back();
            mail.sender = entry.sender;
            for (const auto& r : entry.recipients) {
                mail.recipients.push_back(r.address);
                EXPECT_EQ(r.channel, "localout");
            }
            std::string name = locmail::mq::EntryName(entry.id);
            mail.text = testsupport::ReadFile(Path("entries/" + name + ".msg"));
            mail.parsed = cclienttest::ParseText(mail.text);
            if (forget)
                std::filesystem::remove(Path("channels/localout/" + name));
        }
        return out;
    }

    std::string config_;
};

// Returned mail as it must always be: null reverse path, to SENDER, a report of
// three parts with REASON in the text, STATUS as the report, ORIGINAL unchanged.
inline void ExpectReturnedMail(const Mail& m, const std::string& sender, const std::string& reason,
                               const std::string& status, const std::string& original)
{
    EXPECT_EQ(m.sender, "");
    EXPECT_EQ(m.recipients, std::vector<std::string>{sender});
    ASSERT_EQ(m.Type(), "MULTIPART/REPORT");
    EXPECT_EQ(locmail::cclient::BodyParameter(m.parsed.body.get(), "report-type"), "delivery-status");
    ASSERT_EQ(locmail::cclient::BodyPartCount(m.parsed.body.get()), 3u);
    EXPECT_EQ(m.PartType(0), "TEXT/PLAIN");
    EXPECT_NE(m.Part(0).find("\r\n\r\n" + reason + "\r\n\r\n"), std::string::npos) << m.Part(0);
    EXPECT_EQ(m.PartType(1), "MESSAGE/DELIVERY-STATUS");
    EXPECT_EQ(m.Part(1), status);
    EXPECT_EQ(m.PartType(2), "MESSAGE/RFC822");
    EXPECT_EQ(m.Part(2), original);
    EXPECT_EQ(locmail::cclient::EnvelopeFromAddress(m.parsed.envelope.get()), "MAILER-DAEMON@mail.example");
}

} // namespace mimetest
