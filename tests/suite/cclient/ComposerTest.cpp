// The composer's output read back with the parser: types, parameters, part
// bytes, header fields, and what it refuses.
#include "suite/cclient/Accessors.h"
#include "suite/cclient/Composer.h"
#include "suite/cclient/PartAccess.h"
#include "suite/cclient/ParseText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;

// c-client ends every part with a CRLF of its own: in a multipart body the
// boundary line takes it back, a single body keeps it.
// bytes: the part as written (still encoded); parameter: "NAME=VALUE" of its Content-Type, or "".
struct WantPart { std::string type, bytes, parameter; };
// parts: for a single-part body, the body itself.
struct Case { const char* name; Draft draft; std::string type, reportType; std::vector<WantPart> parts; };

// Every case also carries a Subject that tries to start a field of its own.
Draft With(std::string text, std::vector<DraftPart> parts = {}, std::string reportType = "")
{
    Draft d{"Mail Delivery System <MAILER-DAEMON@mx.example>", {"user@dest.example", "other"},
            "Hi\r\nBcc: spy@evil.example\r", "Mon, 1 Jan 2024 10:00:00 +0000", "<id.1@mx.example>", std::move(text),
            std::move(parts), std::move(reportType), "", "here.example", "", "", {}};
    d.boundary = d.parts.empty() ? "" : "b=1";
    return d;
}

// 8-bit, a bare LF and no final line end: all must survive as they are.
const std::string kOriginal = "From: a@b.example\r\nSubject: caf\xc3\xa9\r\n\r\nline 1\nline 2\r\n\r\nend";

TEST(ComposerTest, ComposedMessagesParseBackPartForPart)
{
    const std::vector<Case> cases = {
        {"plain text, bare line ends made CRLF", With("one\ntwo\rthree\r\n"), "TEXT/PLAIN", "",
         {{"TEXT/PLAIN", "one\r\ntwo\r\nthree\r\n\r\n", "CHARSET=US-ASCII"}}},
        {"UTF-8 text is labelled so", With("gr\xc3\xbc\xc3\x9f"), "TEXT/PLAIN", "",
         {{"TEXT/PLAIN", "gr=C3=BC=C3=9F\r\n", "CHARSET=UTF-8"}}},
        {"report with status and the original byte for byte",
         With("reason\r\n",
              {{PartKind::DeliveryStatus, "Reporting-MTA: dns; mx\r\n", ""}, {PartKind::Message, kOriginal, ""}},
              "delivery-status"),
         "MULTIPART/REPORT", "delivery-status",
         {{"TEXT/PLAIN", "reason\r\n", ""},
          {"MESSAGE/DELIVERY-STATUS", "Reporting-MTA: dns; mx\r\n", ""},
          {"MESSAGE/RFC822", kOriginal, ""}}},
        {"a file goes as base64",
         With("see file", {{PartKind::File, std::string("a\0b\xff\n", 5), "x.bin"}}), "MULTIPART/MIXED", "",
         {{"TEXT/PLAIN", "see file", ""}, {"APPLICATION/OCTET-STREAM", "YQBi/wo=\r\n", ""}}},
        {"a message holding NUL falls back to a file",
         With("", {{PartKind::Message, std::string("Subject: x\r\n\r\n\0", 15), ""}}), "MULTIPART/MIXED", "",
         {{"TEXT/PLAIN", "", ""}, {"APPLICATION/OCTET-STREAM", "U3ViamVjdDogeA0KDQoA\r\n", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = ComposeMessage(c.draft);
        auto parsed = cclienttest::ParseText(text);
        std::string_view body = std::string_view(text).substr(text.find("\r\n\r\n") + 4);
        ASSERT_EQ(BodyType(parsed.body.get()), c.type);
        EXPECT_EQ(BodyParameter(parsed.body.get(), "report-type"), c.reportType);
        EXPECT_STREQ(EnvelopeDate(parsed.envelope.get()), "Mon, 1 Jan 2024 10:00:00 +0000");
        EXPECT_STREQ(EnvelopeMessageId(parsed.envelope.get()), "<id.1@mx.example>");
        EXPECT_EQ(EnvelopeFromAddress(parsed.envelope.get()), "MAILER-DAEMON@mx.example");
        EXPECT_NE(text.find("\r\nTo: user@dest.example, other@here.example\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\nSubject: Hi  Bcc: spy@evil.example\r\n"), std::string::npos);
        EXPECT_EQ(text.find("\r\nBcc:"), std::string::npos);
        EXPECT_NE(text.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos);
        bool multipart = c.type.starts_with("MULTIPART/");
        ASSERT_EQ(BodyPartCount(parsed.body.get()), multipart ? c.parts.size() : 0);
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const auto* part = multipart ? BodyPart(parsed.body.get(), i) : parsed.body.get();
            EXPECT_EQ(BodyType(part), c.parts[i].type) << "part " << i;
            EXPECT_EQ(PartContents(part, body), c.parts[i].bytes) << "part " << i;
            if (auto eq = c.parts[i].parameter.find('='); eq != std::string::npos) {
                EXPECT_EQ(BodyParameter(part, c.parts[i].parameter.substr(0, eq)), c.parts[i].parameter.substr(eq + 1));
            }
        }
    }
}

TEST(ComposerTest, RefusesWhatCannotBeAddressed)
{
    struct Bad { const char* name; std::string from; std::vector<std::string> to; };
    const std::vector<Bad> cases = {
        {"no recipient", "a@b.example", {}},
        {"empty sender", "", {"c@d.example"}},
        {"two addresses in one item", "a@b.example", {"c@d.example, e@f.example"}},
        {"a group", "a@b.example", {"team: c@d.example;"}},
    };
    for (const Bad& c : cases) {
        Draft d = With("x");
        d.from = c.from;
        d.to = c.to;
        EXPECT_THROW(ComposeMessage(d), ComposeError) << c.name;
    }
}

} // namespace
