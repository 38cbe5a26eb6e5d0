#include "suite/cclient/Accessors.h"
#include "suite/cclient/ImapSyntax.h"
#include "suite/cclient/MessageParser.h"
#include "suite/cclient/Owners.h"

#include "suite/cclient/ParseText.h"
#include "suite/log/CaptureLog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;
using cclienttest::ParseText;

const std::string kMultipart =
    "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
    "From: \"Joe Q\" <Joe@Example.COM>, ann@example.org\r\n"
    "To: ann@example.org\r\n"
    "Subject: Quarterly report\r\n"
    "Message-ID: <r1@example.com>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--XX\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "\r\n"
    "hello\r\n"
    "--XX\r\n"
    "Content-Type: application/pdf; name=a.pdf\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "AAAA\r\n"
    "--XX--\r\n";

std::string CStr(const char* text) { return text ? text : "(null)"; }

TEST(ParseMessage, MultipartGivesEnvelopeAndParts)
{
    std::string text = kMultipart;
    auto parsed = ParseText(text);
    ASSERT_TRUE(parsed.envelope);
    ASSERT_TRUE(parsed.body);

    EXPECT_EQ(CStr(EnvelopeSubject(parsed.envelope.get())), "Quarterly report");
    EXPECT_EQ(CStr(EnvelopeDate(parsed.envelope.get())), "Tue, 1 Dec 2026 10:00:00 +0100");
    EXPECT_EQ(CStr(EnvelopeMessageId(parsed.envelope.get())), "<r1@example.com>");
    EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "Joe@Example.COM");

    EXPECT_EQ(BodyType(parsed.body.get()), "MULTIPART/MIXED");
    ASSERT_EQ(BodyPartCount(parsed.body.get()), 2u);
    EXPECT_EQ(BodyType(BodyPart(parsed.body.get(), 0)), "TEXT/PLAIN");
    EXPECT_EQ(BodyType(BodyPart(parsed.body.get(), 1)), "APPLICATION/PDF");
    EXPECT_EQ(BodyPart(parsed.body.get(), 2), nullptr);
    EXPECT_EQ(BodyPartCount(BodyPart(parsed.body.get(), 0)), 0u);

    EXPECT_EQ(text, kMultipart) << "the parser must not write to the message text";
}

TEST(ParseMessage, HeaderIsReadOnlyWithinItsLength)
{
    // An exact-size heap copy without a terminator: an over-read shows under valgrind/ASan.
    std::string header = "Subject: exact\r\n\r\n";
    std::string body = "text\r\n";
    auto headerCopy = std::make_unique<char[]>(header.size());
    auto bodyCopy = std::make_unique<char[]>(body.size());
    std::memcpy(headerCopy.get(), header.data(), header.size());
    std::memcpy(bodyCopy.get(), body.data(), body.size());

    auto parsed = ParseMessage(headerCopy.get(), header.size(), bodyCopy.get(), body.size());
    EXPECT_EQ(CStr(EnvelopeSubject(parsed.envelope.get())), "exact");
    EXPECT_EQ(ImapBodyStructure(parsed.body.get()),
              R"(("TEXT" "PLAIN" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 6 1 NIL NIL NIL NIL))");
}

TEST(ParseMessage, GarbageStillYieldsOwners)
{
    struct Case {
        const char* name;
        std::string header;
        std::string body;
    };
    const Case cases[] = {
        {"no header end", "garbage without colon\r\nmore garbage", ""},
        {"binary", std::string("\0\x01\xff:\r\n\r\n", 7), std::string("\0\0", 2)},
        {"empty", "", ""},
        {"broken address", "From: <<@@>>\r\nTo: ,,,;:\r\n\r\n", "x"},
        {"unterminated boundary",
         "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n", "--b\r\nno end"},
        {"multipart without boundary", "MIME-Version: 1.0\r\nContent-Type: multipart/mixed\r\n\r\n", "body"},
    };
    locmail::log::CaptureLog quiet;
    for (const auto& c : cases) {
        auto parsed = ParseMessage(c.header.data(), c.header.size(), c.body.data(), c.body.size());
        EXPECT_TRUE(parsed.envelope) << c.name;
        EXPECT_TRUE(parsed.body) << c.name;
        EXPECT_FALSE(ImapEnvelope(parsed.envelope.get()).empty()) << c.name;
        EXPECT_FALSE(ImapBodyStructure(parsed.body.get()).empty()) << c.name;
    }

    auto fromNothing = ParseMessage(nullptr, 0, nullptr, 0);
    EXPECT_TRUE(fromNothing.envelope);
    EXPECT_EQ(BodyType(fromNothing.body.get()), "TEXT/PLAIN");
}

TEST(ParseMessage, AddressesWithoutHostGetTheDefaultHost)
{
    std::string header = "From: root\r\n\r\n";
    auto missing = ParseMessage(header.data(), header.size(), "", 0);
    EXPECT_EQ(EnvelopeFromAddress(missing.envelope.get()), "root@.MISSING-HOST-NAME.");
    auto local = ParseMessage(header.data(), header.size(), "", 0, "example.org");
    EXPECT_EQ(EnvelopeFromAddress(local.envelope.get()), "root@example.org");
}

TEST(ParseMessage, ParserComplaintsGoToTheLogAtLevelSix)
{
    locmail::log::CaptureLog capture;
    auto parsed = ParseText("Content-Type: text/plain\r\n\r\nx");
    EXPECT_EQ(capture.LinesOf("c-client"),
              std::vector<std::string>{"6 c-client: Warning: MIME header encountered in non-MIME message"});
}

TEST(ParseMessage, ExcessiveNestingIsCutOff)
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "MIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n";
    text += "deep";
    locmail::log::CaptureLog capture;
    auto parsed = ParseText(text);
    std::string structure = ImapBodyStructure(parsed.body.get());

    long depth = 0;
    bool balanced = true;
    for (char c : structure) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        balanced = balanced && depth >= 0;
    }
    EXPECT_TRUE(balanced && depth == 0) << structure;
    // Below c-client's depth limit the rest is kept as text.
    EXPECT_NE(structure.find(R"(("TEXT" "RFC822" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 412 24 )"), std::string::npos)
        << structure;
    EXPECT_EQ(capture.LinesOf("c-client"),
              std::vector<std::string>{"6 c-client: Ignoring excessively deep MIME recursion"});
}

TEST(Accessors, NullMeansAbsent)
{
    EXPECT_EQ(EnvelopeDate(nullptr), nullptr);
    EXPECT_EQ(EnvelopeSubject(nullptr), nullptr);
    EXPECT_EQ(EnvelopeMessageId(nullptr), nullptr);
    EXPECT_EQ(EnvelopeFromAddress(nullptr), "");
    EXPECT_EQ(BodyType(nullptr), "");
    EXPECT_EQ(BodyPartCount(nullptr), 0u);
    EXPECT_EQ(BodyPart(nullptr, 0), nullptr);

    auto parsed = ParseText("To: a@b.example\r\n\r\n");
    EXPECT_EQ(EnvelopeSubject(parsed.envelope.get()), nullptr);
    EXPECT_EQ(EnvelopeDate(parsed.envelope.get()), nullptr);
    EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "");
}

TEST(Owners, FreeingRawMembersNullsThem)
{
    auto parsed = ParseText(kMultipart);
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
