#include "suite/mq/EnvelopeFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using locmail::mq::EnvelopeData;
using locmail::mq::FormatEnvelopeFile;
using locmail::mq::ParseEnvelopeFile;

EnvelopeData Sample()
{
    EnvelopeData e;
    e.messageSize = 1234;
    e.channels = {{"local", 255}, {"localout", -3}};
    e.senders = {{"alice@example.org", "", 0x80, 7, "", "localout"}};
    e.recipients = {{"bob@example.org", "", 0, "", "local"}, {"carol@example.org", "x", 3, "y", "LOCAL"}};
    return e;
}

TEST(EnvelopeFormat, RoundTripsAwkwardTexts)
{
    const std::vector<std::string> texts = {
        "", "-", "--", "a b", "100%", "%41", "tab\there", "\"Name, Last\" <n@x>", "trail ", " lead",
        "caf\xC3\xA9@example.org", "del\x7F", std::string("nul\0in", 6), "plain@example.org"};
    for (const auto& text : texts) {
        EnvelopeData e = Sample();
        e.senders[0].address = text;
        e.senders[0].info = text;
        e.recipients[1].extra = text;
        e.recipients[1].channel = text;
        std::string file = FormatEnvelopeFile(e);
        auto parsed = ParseEnvelopeFile(file);
        ASSERT_TRUE(parsed.ok) << "text \"" << text << "\": " << parsed.fault << "\n" << file;
        EXPECT_EQ(parsed.data, e) << "text \"" << text << "\"";
    }
}

TEST(EnvelopeFormat, EveryRecordIsOneLineEndingInEnd)
{
    std::string file = FormatEnvelopeFile(Sample());
    EXPECT_EQ(file,
              "locmail-envelope 1\n"
              "size 1234\n"
              "channel 255 local\n"
              "channel -3 localout\n"
              "from 128 7 alice@example.org - - localout\n"
              "rcpt 0 bob@example.org - - local\n"
              "rcpt 3 carol@example.org x y LOCAL\n"
              "end\n");
}

TEST(EnvelopeFormat, RejectsDamage)
{
    const std::string good = FormatEnvelopeFile(Sample());
    auto without = [&](const std::string& line) {
        std::string s = good;
        s.erase(s.find(line), line.size());
        return s;
    };
    struct Case {
        const char* name;
        std::string text;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {"empty file", "", "envelope is empty"},
        {"cut inside a line", good.substr(0, good.size() - 5), "no end line (truncated)"},
        {"cut before end", without("end\n"), "no end line (truncated)"},
        {"garbage line", without("end\n") + "hello world\nend\n", "line 8 is not valid"},
        {"binary garbage", "locmail-envelope 1\nsize 3\n\x01\x02\x03\nend\n", "line 3 is not valid"},
        {"text after end", good + "rcpt 0 x - - local\n", "text after the end line"},
        {"wrong magic", "envelope 2\n" + good.substr(good.find('\n') + 1), "line 1 is not \"locmail-envelope 1\""},
        {"CR line end", "locmail-envelope 1\r\nsize 1\nchannel 1 a\nend\n", "line 1 is not \"locmail-envelope 1\""},
        {"missing size", without("size 1234\n"), "no size line"},
        {"repeated size", without("end\n") + "size 5\nend\n", "line 8 is not valid"},
        {"negative size", "locmail-envelope 1\nsize -1\nchannel 1 a\nend\n", "line 2 is not valid"},
        {"no channel", "locmail-envelope 1\nsize 1\nfrom 0 0 a - - b\nend\n", "no channel line"},
        {"rcpt field missing", "locmail-envelope 1\nsize 1\nchannel 1 a\nrcpt 0 x - local\nend\n",
         "line 4 is not valid"},
        {"double blank", "locmail-envelope 1\nsize 1\nchannel 1 a\nrcpt 0 x  - - local\nend\n",
         "line 4 is not valid"},
        {"bad escape", "locmail-envelope 1\nsize 1\nchannel 1 a\nrcpt 0 x%4 - - local\nend\n",
         "line 4 is not valid"},
        {"escaped line feed", "locmail-envelope 1\nsize 1\nchannel 1 a\nrcpt 0 x%0A - - local\nend\n",
         "line 4 is not valid"},
        {"flags not a number", "locmail-envelope 1\nsize 1\nchannel 1 a\nrcpt x0 x - - local\nend\n",
         "line 4 is not valid"},
        {"empty line", "locmail-envelope 1\nsize 1\n\nchannel 1 a\nend\n", "line 3 is not valid"},
    };
    for (const auto& c : cases) {
        auto parsed = ParseEnvelopeFile(c.text);
        EXPECT_FALSE(parsed.ok) << c.name;
        EXPECT_EQ(parsed.fault, c.fault) << c.name;
    }
}

} // namespace
