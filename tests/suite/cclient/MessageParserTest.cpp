#include "suite/cclient/Accessors.h"
#include "suite/cclient/ImapSyntax.h"
#include "suite/cclient/MessageParser.h"
#include "suite/cclient/Owners.h"

#include "suite/cclient/ParseText.h"
#include "suite/log/CaptureLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;
using namespace cclienttest;

TEST(ParseMessage, MultipartGivesEnvelopeAndParts)
{
    std::string text = kMultipart;
    auto parsed = ParseText(text);
    ASSERT_TRUE(parsed.envelope && parsed.body);
    EXPECT_STREQ(EnvelopeSubject(parsed.envelope.get()), "Quarterly report \\ \"Q4\"");
    EXPECT_STREQ(EnvelopeDate(parsed.envelope.get()), "Tue, 1 Dec 2026 10:00:00 +0100");
    EXPECT_STREQ(EnvelopeMessageId(parsed.envelope.get()), "<r1@example.com>");
    EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "Joe@Example.COM");
    EXPECT_EQ(BodyType(parsed.body.get()), "MULTIPART/MIXED");
    ASSERT_EQ(BodyPartCount(parsed.body.get()), 2u);
    EXPECT_EQ(BodyType(BodyPart(parsed.body.get(), 0)), "TEXT/PLAIN");
    EXPECT_EQ(BodyType(BodyPart(parsed.body.get(), 1)), "APPLICATION/PDF");
    EXPECT_EQ(BodyPart(parsed.body.get(), 2), nullptr);
    EXPECT_EQ(BodyPartCount(BodyPart(parsed.body.get(), 0)), 0u);
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

TEST(ParseMessage, GarbageStillYieldsOwners)
{
    const std::pair<std::string, std::string> cases[] = {
        {"garbage without colon\r\nmore garbage", ""},
        {std::string("\0\x01\xff:\r\n\r\n", 7), std::string("\0\0", 2)},
        {"", ""},
        {"From: <<@@>>\r\nTo: ,,,;:\r\n\r\n", "x"},
        {"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n", "--b\r\nno end"},
        {"MIME-Version: 1.0\r\nContent-Type: multipart/mixed\r\n\r\n", "body"},
    };
    locmail::log::CaptureLog quiet;
    for (const auto& [header, body] : cases) {
        auto parsed = ParseMessage(header.data(), header.size(), body.data(), body.size());
        ASSERT_TRUE(parsed.envelope && parsed.body) << header;
        EXPECT_FALSE(ImapEnvelope(parsed.envelope.get()).empty()) << header;
        EXPECT_FALSE(ImapBodyStructure(parsed.body.get()).empty()) << header;
    }
    auto fromNothing = ParseMessage(nullptr, 0, nullptr, 0);
    EXPECT_TRUE(fromNothing.envelope);
    EXPECT_EQ(BodyType(fromNothing.body.get()), "TEXT/PLAIN");
}

TEST(ParseMessage, ComplaintsGoToTheLogAtLevelSixAndDeepNestingIsCut)
{
    locmail::log::CaptureLog capture;
    ParseText("Content-Type: text/plain\r\n\r\nx");
    EXPECT_EQ(capture.LinesOf("c-client"),
              std::vector<std::string>{"6 c-client: Warning: MIME header encountered in non-MIME message"});

    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "MIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n";
    locmail::log::CaptureLog deep;
    std::string structure = ImapBodyStructure(ParseText(text + "deep").body.get());
    long depth = 0;
    for (char c : structure) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        ASSERT_GE(depth, 0) << structure;
    }
    EXPECT_EQ(depth, 0) << structure;
    // Below c-client's depth limit the rest is kept as text.
    EXPECT_NE(structure.find(R"(("TEXT" "RFC822" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 412 24 )"), std::string::npos)
        << structure;
    EXPECT_EQ(deep.LinesOf("c-client"), std::vector<std::string>{"6 c-client: Ignoring excessively deep MIME recursion"});
}

TEST(ParseMessage, NullMeansAbsentAndOwnersReleaseOnce)
{
    EXPECT_EQ(EnvelopeDate(nullptr), nullptr);
    EXPECT_EQ(EnvelopeFromAddress(nullptr), "");
    EXPECT_EQ(BodyType(nullptr), "");
    EXPECT_EQ(BodyPartCount(nullptr), 0u);
    EXPECT_EQ(BodyPart(nullptr, 0), nullptr);
    auto parsed = ParseText("To: a@b.example\r\n\r\n");
    EXPECT_EQ(EnvelopeSubject(parsed.envelope.get()), nullptr);
    EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "");

    mail_envelope* envelope = parsed.envelope.release();
    mail_bodystruct* body = parsed.body.release();
    FreeEnvelope(envelope);
    FreeBody(body);
    EXPECT_EQ(envelope, nullptr);
    EXPECT_EQ(body, nullptr);
    FreeEnvelope(envelope); // a second release is harmless
    FreeBody(body);
}

} // namespace
