#include "suite/cclient/HeaderWriter.h"

#include "suite/cclient/ImapSyntax.h"
#include "suite/cclient/ParseText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace locmail::cclient;
using namespace cclienttest;

// What the header says must come back the same when the written header is parsed again.
TEST(WriteHeader, ReparsesToTheSameEnvelopeAndStructure)
{
    auto parsed = ParseText(kMultipart);
    std::string header = WriteHeader(parsed.envelope.get(), parsed.body.get());
    EXPECT_TRUE(header.ends_with("\r\nContent-Type: MULTIPART/MIXED; BOUNDARY=XX\r\n\r\n")) << header;
    auto reparsed = ParseText(header + kMultipart.substr(kMultipart.find("\r\n\r\n") + 4));
    EXPECT_EQ(ImapEnvelope(reparsed.envelope.get()), ImapEnvelope(parsed.envelope.get())) << header;
    EXPECT_EQ(ImapBodyStructure(reparsed.body.get()), ImapBodyStructure(parsed.body.get())) << header;

    EXPECT_EQ(WriteHeader(parsed.envelope.get(), nullptr).find("MIME-Version"), std::string::npos);
    EXPECT_EQ(WriteHeader(nullptr, parsed.body.get()), "");
}

} // namespace
