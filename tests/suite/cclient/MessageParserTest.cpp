#include "suite/cclient/Accessors.h"
#include "suite/cclient/ImapSyntax.h"
#include "suite/cclient/MessageParser.h"

#include "suite/cclient/ParseText.h"
#include "support/CaptureLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;
using namespace cclienttest;

const std::string kMultipart = "From: \"Joe Q\" <Joe@Example.COM>, ann@example.org\r\n"
                               "Subject: Quarterly report \\ \"Q4\"\r\n"
                               "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                               "preamble\r\n--XX\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nhello\r\n"
                               "--XX\r\nContent-Type: application/pdf; name=a.pdf\r\n\r\nAAAA\r\n--XX--\r\n";

TEST(ParseMessage, MultipartGivesEnvelopeAndPartsAndLeavesTheTextAlone)
{
    std::string text = kMultipart;
    auto parsed = ParseText(text);
    ASSERT_TRUE(parsed.envelope && parsed.body);
    EXPECT_STREQ(EnvelopeSubject(parsed.envelope.get()), "Quarterly report \\ \"Q4\"");
    EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "Joe@Example.COM");
    ASSERT_EQ(BodyPartCount(parsed.body.get()), 2u);
    EXPECT_EQ(BodyType(BodyPart(parsed.body.get(), 1)), "APPLICATION/PDF");
    EXPECT_EQ(BodyPart(parsed.body.get(), 2), nullptr);
    EXPECT_EQ(text, kMultipart) << "the parser must not write to the message text";

    std::string header = "From: root\r\n\r\n";
    auto missing = ParseMessage(header.data(), header.size(), "", 0);
    EXPECT_EQ(EnvelopeFromAddress(missing.envelope.get()), "root@.MISSING-HOST-NAME.");
    auto local = ParseMessage(header.data(), header.size(), "", 0, "example.org");
    EXPECT_EQ(EnvelopeFromAddress(local.envelope.get()), "root@example.org");
}

TEST(ParseMessage, HeaderIsReadOnlyWithinItsLength)
{
    // Exact-size heap copies without a terminator: an over-read shows under valgrind/ASan.
    const std::string headerText = "Subject: exact\r\n\r\n", bodyText = "text\r\n";
    std::vector<char> header(headerText.begin(), headerText.end()), body(bodyText.begin(), bodyText.end());
    auto parsed = ParseMessage(header.data(), header.size(), body.data(), body.size());
    EXPECT_STREQ(EnvelopeSubject(parsed.envelope.get()), "exact");
    EXPECT_EQ(ImapBodyStructure(parsed.body.get()),
              R"(("TEXT" "PLAIN" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 6 1 NIL NIL NIL NIL))");
}

// Garbage still yields owners; c-client's complaints reach the log at level 6.
TEST(ParseMessage, GarbageStillYieldsOwnersAndComplaintsAreLogged)
{
    const std::pair<std::string, std::string> cases[] = {
        {"garbage without colon\r\nmore garbage", ""},
        {std::string("\0\x01\xff:\r\n\r\n", 7), std::string("\0\0", 2)},
        {"From: <<@@>>\r\nTo: ,,,;:\r\n\r\n", "x"},
        {"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n", "--b\r\nno end"},
    };
    locmail::log::CaptureLog quiet;
    for (const auto& [header, body] : cases) {
        auto parsed = ParseMessage(header.data(), header.size(), body.data(), body.size());
        ASSERT_TRUE(parsed.envelope && parsed.body) << header;
        EXPECT_FALSE(ImapBodyStructure(parsed.body.get()).empty()) << header;
    }
    auto fromNothing = ParseMessage(nullptr, 0, nullptr, 0);
    EXPECT_TRUE(fromNothing.envelope);
    EXPECT_EQ(BodyType(fromNothing.body.get()), "TEXT/PLAIN");

    locmail::log::CaptureLog capture;
    ParseText("Content-Type: text/plain\r\n\r\nx");
    EXPECT_EQ(capture.LinesOf("c-client"),
              std::vector<std::string>{"6 c-client: Warning: MIME header encountered in non-MIME message"});
}

} // namespace
