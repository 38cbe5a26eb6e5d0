#include "suite/cclient/HeaderWriter.h"

#include "suite/cclient/ImapSyntax.h"
#include "suite/cclient/ParseText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace locmail::cclient;
using cclienttest::ParseText;

const std::string kMessage = "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
                             "From: \"Smith, Joe\" <joe@example.com>\r\n"
                             "To: ann@example.org, Team: b@example.net;\r\n"
                             "Cc: <carl@example.net>\r\n"
                             "Subject: Report \"Q4\"\r\n"
                             "In-Reply-To: <r0@example.com>\r\n"
                             "Message-ID: <r1@example.com>\r\n"
                             "MIME-Version: 1.0\r\n"
                             "Content-Type: multipart/mixed; boundary=\"XX\"\r\n"
                             "\r\n"
                             "--XX\r\n"
                             "\r\n"
                             "hello\r\n"
                             "--XX--\r\n";

TEST(WriteHeader, WritesEnvelopeThenMimeLines)
{
    auto parsed = ParseText(kMessage);
    // The parser copies From into Sender and Reply-To, and c-client writes a
    // group by its name only.
    EXPECT_EQ(WriteHeader(parsed.envelope.get(), parsed.body.get()),
              "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
              "From: \"Smith, Joe\" <joe@example.com>\r\n"
              "Sender: \"Smith, Joe\" <joe@example.com>\r\n"
              "Reply-To: \"Smith, Joe\" <joe@example.com>\r\n"
              "Subject: Report \"Q4\"\r\n"
              "To: ann@example.org, Team: \r\n"
              "    ;\r\n"
              "cc: carl@example.net\r\n"
              "In-Reply-To: <r0@example.com>\r\n"
              "Message-ID: <r1@example.com>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: MULTIPART/MIXED; BOUNDARY=XX\r\n"
              "\r\n");
    EXPECT_EQ(WriteHeader(parsed.envelope.get(), nullptr).find("MIME-Version"), std::string::npos);
    EXPECT_EQ(WriteHeader(nullptr, parsed.body.get()), "");
}

TEST(WriteHeader, ReparsesToTheSameEnvelope)
{
    auto parsed = ParseText("Date: Wed, 2 Dec 2026 08:00:00 -0500\r\n"
                            "From: Ann <ann@example.org>\r\n"
                            "To: \"B. \\\"Bee\\\" Jones\" <b@example.net>, c@example.net\r\n"
                            "Subject: a \\ b\r\n"
                            "Message-ID: <m@example.org>\r\n"
                            "\r\n"
                            "body\r\n");
    std::string header = WriteHeader(parsed.envelope.get(), parsed.body.get());
    auto reparsed = ParseText(header + "body\r\n");
    EXPECT_EQ(ImapEnvelope(reparsed.envelope.get()), ImapEnvelope(parsed.envelope.get())) << header;
    EXPECT_EQ(ImapBodyStructure(reparsed.body.get()), ImapBodyStructure(parsed.body.get())) << header;
}

} // namespace
