#include "suite/cclient/ImapSyntax.h"

#include "support/CaptureLog.h"
#include "suite/cclient/ParseText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace locmail::cclient;
using cclienttest::ParseText;

struct Case { const char* name; std::string message, envelope, body; };

const Case kCases[] = {
    {"multipart with attachment",
     "From: ann@example.org\r\n"
     "Sender: bot@example.org\r\n"
     "Reply-To: list@example.org\r\n"
     "To: undisclosed-recipients:;\r\n"
     "Cc: \"Smith, Bob\" <bob@example.net>, Team: a@x.example, b@y.example;\r\n"
     "In-Reply-To: <1@example.com>\r\n"
     "Subject: Report\r\n"
     "MIME-Version: 1.0\r\n"
     "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
     "\r\n"
     "--b1\r\n"
     "Content-Type: text/plain; charset=utf-8\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n"
     "\r\n"
     "See attached.\r\n"
     "--b1\r\n"
     "Content-Type: application/pdf; name=\"r.pdf\"\r\n"
     "Content-Disposition: attachment; filename=\"r.pdf\"\r\n"
     "Content-Transfer-Encoding: base64\r\n"
     "Content-Description: The report\r\n"
     "Content-ID: <part2@example.org>\r\n"
     "\r\n"
     "JVBERi0xLjQK\r\n"
     "--b1--\r\n",
     R"((NIL "Report" ((NIL NIL "ann" "example.org")) ((NIL NIL "bot" "example.org")))"
     R"( ((NIL NIL "list" "example.org")) ((NIL NIL "undisclosed-recipients" NIL)(NIL NIL NIL NIL)))"
     R"( (("Smith, Bob" NIL "bob" "example.net")(NIL NIL "Team" NIL)(NIL NIL "a" "x.example"))"
     R"((NIL NIL "b" "y.example")(NIL NIL NIL NIL)) NIL "<1@example.com>" NIL))",
     R"((("TEXT" "PLAIN" ("CHARSET" "utf-8") NIL NIL "QUOTED-PRINTABLE" 13 0 NIL NIL NIL NIL))"
     R"(("APPLICATION" "PDF" ("NAME" "r.pdf") "<part2@example.org>" "The report" "BASE64" 12 NIL)"
     R"( ("ATTACHMENT" ("FILENAME" "r.pdf")) NIL NIL) "MIXED" ("BOUNDARY" "b1") NIL NIL NIL))"},

    {"message/rfc822 part",
     "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
     "From: a@b.example\r\n"
     "Subject: Fwd\r\n"
     "Message-ID: <1@example.com>\r\n"
     "MIME-Version: 1.0\r\n"
     "Content-Type: multipart/mixed; boundary=zz\r\n"
     "\r\n"
     "--zz\r\n"
     "Content-Type: message/rfc822\r\n"
     "\r\n"
     "From: c@d.example\r\n"
     "Subject: Inner\r\n"
     "\r\n"
     "Inner text\r\n"
     "--zz--\r\n",
     R"(("Tue, 1 Dec 2026 10:00:00 +0100" "Fwd" ((NIL NIL "a" "b.example")) ((NIL NIL "a" "b.example")))"
     R"( ((NIL NIL "a" "b.example")) NIL NIL NIL NIL "<1@example.com>"))",
     R"((("MESSAGE" "RFC822" NIL NIL NIL "7BIT" 47)"
     R"( (NIL "Inner" ((NIL NIL "c" "d.example")) ((NIL NIL "c" "d.example")) ((NIL NIL "c" "d.example")))"
     R"( NIL NIL NIL NIL NIL))"
     R"( ("TEXT" "PLAIN" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 10 0 NIL NIL NIL NIL) 3 NIL NIL NIL NIL))"
     R"( "MIXED" ("BOUNDARY" "zz") NIL NIL NIL))"},
};

TEST(ImapSyntax, EnvelopeAndBodyStructureTableAndNulls)
{
    locmail::log::CaptureLog quiet; // MIME parts without MIME-Version make c-client talk
    for (const auto& c : kCases) {
        auto parsed = ParseText(c.message);
        ASSERT_TRUE(parsed.envelope && parsed.body) << c.name;
        EXPECT_EQ(ImapEnvelope(parsed.envelope.get()), c.envelope) << c.name;
        EXPECT_EQ(ImapBodyStructure(parsed.body.get()), c.body) << c.name;
    }
    EXPECT_EQ(ImapEnvelope(nullptr), "(NIL NIL NIL NIL NIL NIL NIL NIL NIL NIL)");
    EXPECT_EQ(ImapBodyStructure(nullptr), R"(("TEXT" "PLAIN" ("CHARSET" "US-ASCII") NIL NIL "7BIT" 0 0 NIL NIL NIL NIL))");
}

TEST(ImapSyntax, StringsAreQuotedOrLiteral)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "\"\""}, {"plain", "\"plain\""}, {"a \"q\" b", "\"a \\\"q\\\" b\""},
        {"back\\slash", "\"back\\\\slash\""}, {"tab\there", "\"tab\there\""},
        {"two\r\nlines", "{10}\r\ntwo\r\nlines"}, {"lone\rcr", "{7}\r\nlone\rcr"}, {"lone\nlf", "{7}\r\nlone\nlf"},
        {"\xc3\xa9", "{2}\r\n\xc3\xa9"}, {"\"\x80", "{2}\r\n\"\x80"},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ImapString(text), want) << text;
}

} // namespace
