#include "suite/mq/EnvelopeFormat.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

using locmail::mq::EnvelopeData;
using locmail::mq::FormatEnvelopeFile;
using locmail::mq::ParseEnvelopeFile;

const std::string kKey = "0123456789abcdef0123456789abcdef";
// Outgoing groups that make kKey as long as a key may be (200 characters).
const std::string kLongOutgoing = [] {
    std::string groups;
    for (int i = 0; i < 15; ++i)
        groups += ".1234567890";
    return groups + ".12";
}();

// A whole version-2 envelope but for its key.
std::string WithKey(const std::string& key)
{
    return "locmail-envelope 2\nkey " + key + "\narrived 5\nsize 1\nchannel 1 a\nend\n";
}

EnvelopeData Sample()
{
    EnvelopeData e;
    e.key = kKey;
    e.arrived = 1700000000;
    e.messageSize = 1234;
    e.channels = {{"local", 255}, {"localout", -3}};
    e.deferrals = {{"local", 2, 1700000120}};
    e.crashes = 2;
    e.senders = {{"alice@example.org", "", 0x80, 7, "", "localout"}};
    e.recipients = {{"bob@example.org", "", 0, "", "local"}, {"carol@example.org", "x", 3, "y", "LOCAL"}};
    return e;
}

TEST(EnvelopeFormat, EveryRecordIsOneLineEndingInEndAndAwkwardTextsRoundTrip)
{
    const std::string records = "channel 255 local\n"
                                "channel -3 localout\n";
    const std::string people = "from 128 7 alice@example.org - - localout\n"
                               "rcpt 0 bob@example.org - - local\n"
                               "rcpt 3 carol@example.org x y LOCAL\n"
                               "end\n";
    EXPECT_EQ(FormatEnvelopeFile(Sample()), "locmail-envelope 2\nkey " + kKey + "\narrived 1700000000\nsize 1234\n" +
                                                records + "deferred local 2 1700000120\ncrashed 2\n" + people);
    // Without a key it is the first version, which tools that predate keys still write.
    EnvelopeData keyless = Sample();
    keyless.key.clear();
    keyless.arrived = 0;
    keyless.deferrals.clear();
    keyless.crashes = 0;
    EXPECT_EQ(FormatEnvelopeFile(keyless), "locmail-envelope 1\nsize 1234\n" + records + people);
    auto v1 = ParseEnvelopeFile(FormatEnvelopeFile(keyless));
    ASSERT_TRUE(v1.ok) << v1.fault;
    EXPECT_EQ(v1.data, keyless);
    // The key a version-1 entry was given from its file is kept when it is rewritten; outgoing keys
    // extend either form, up to the longest that still names a file.
    const std::string keys[] = {"v1-0000002A-123-1700000000000000001", kKey + ".3.1", "v1-0000002A-1-2.0.4294967295",
                                kKey + kLongOutgoing, "lmtp-" + kKey + kKey + ".0.1"};
    for (const auto& key : keys) {
        EnvelopeData keyed = Sample();
        keyed.key = key;
        keyed.lmtp = key.starts_with("lmtp-"); // with the LMTP mark
        EXPECT_EQ(ParseEnvelopeFile(FormatEnvelopeFile(keyed)).data, keyed) << key;
    }
    const std::string texts[] = {"", "-", "--", "a b", "100%", "%41", "tab\there", "\"Name, Last\" <n@x>", "trail ",
                                 " lead", "caf\xC3\xA9@example.org", "del\x7F"};
    for (const auto& text : texts) {
        EnvelopeData e = Sample();
        e.senders[0].address = e.senders[0].info = e.recipients[1].extra = e.recipients[1].channel = text;
        std::string file = FormatEnvelopeFile(e);
        auto parsed = ParseEnvelopeFile(file);
        ASSERT_TRUE(parsed.ok) << "text \"" << text << "\": " << parsed.fault << "\n" << file;
        EXPECT_EQ(parsed.data, e) << "text \"" << text << "\"";
    }
    // Every number at the end of its range comes back as itself.
    EnvelopeData extremes = Sample();
    extremes.messageSize = std::numeric_limits<uint64_t>::max();
    extremes.arrived = std::numeric_limits<int64_t>::max();
    extremes.crashes = extremes.senders[0].flags = std::numeric_limits<uint32_t>::max();
    extremes.channels[1].priority = std::numeric_limits<int>::min();
    auto parsed = ParseEnvelopeFile(FormatEnvelopeFile(extremes));
    ASSERT_TRUE(parsed.ok) << parsed.fault;
    EXPECT_EQ(parsed.data, extremes);
}

TEST(EnvelopeFormat, RejectsDamage)
{
    const std::string good = FormatEnvelopeFile(Sample()), open = good.substr(0, good.size() - 4);
    const std::string head = "locmail-envelope 1\nsize 1\nchannel 1 a\n";
    const std::string v2 = "locmail-envelope 2\nkey " + kKey + "\narrived 5\n", v2head = v2 + "size 1\nchannel 1 a\n";
    const std::pair<std::string, std::string> cases[] = { // text, fault
        {"", "envelope is empty"},
        {open, "no end line (truncated)"},
        {"locmail-envelope 1\nsize 3\n\x01\x02\x03\nend\n", "line 3 is not valid"},
        {good + "rcpt 0 x - - local\n", "text after the end line"},
        {"envelope 2\n" + good.substr(good.find('\n') + 1), "line 1 is not \"locmail-envelope 2\""},
        {"locmail-envelope 1\nchannel 1 a\nend\n", "no size line"},
        {"locmail-envelope 1\nsize -1\nchannel 1 a\nend\n", "line 2 is not valid"},
        {"locmail-envelope 1\nsize 1\nfrom 0 0 a - - b\nend\n", "no channel line"},
        {head + "rcpt 0 x - local\nend\n", "line 4 is not valid"},     // a field missing
        {head + "rcpt 0 x%4 - - local\nend\n", "line 4 is not valid"}, // bad escape
        {head + "rcpt 0 x%00@evil - - local\nend\n", "line 4 is not valid"},
        // Channel names name queue folders: the same check as the queue's callers get.
        {"locmail-envelope 1\nsize 1\nchannel 255 a%2Fb\nend\n", "line 3 is not valid"},
        {v2head + "deferred ../a 1 9\nend\n", "line 6 is not valid"},
        // Each version has its own lines, each once.
        {"locmail-envelope 1\nkey " + kKey + "\nsize 1\nchannel 1 a\nend\n", "line 2 is not valid"},
        {head + "deferred a 1 9\nend\n", "line 4 is not valid"},
        {"locmail-envelope 2\narrived 5\nsize 1\nchannel 1 a\nend\n", "no key line"},
        {"locmail-envelope 2\nkey " + kKey + "\nsize 1\nchannel 1 a\nend\n", "no arrived line"},
        {v2 + "key " + kKey + "\nsize 1\nchannel 1 a\nend\n", "line 4 is not valid"},
        {v2head + "deferred a 0 9\nend\n", "line 6 is not valid"},
        {v2head + "crashed 1\ncrashed 2\nend\n", "line 7 is not valid"},
        {v2head + "lmtp\nlmtp\nend\n", "line 7 is not valid"},
        {"locmail-envelope 1\nsize 1\nchannel 1 a\nlmtp\nend\n", "line 4 is not valid"},
        {v2head + "deferred b 1 9\nend\n", "deferred on b, which is not a channel of the entry"},
    };
    for (const auto& [text, fault] : cases) {
        auto parsed = ParseEnvelopeFile(text);
        EXPECT_FALSE(parsed.ok) << text;
        EXPECT_EQ(parsed.fault, fault) << text;
    }
    // A key names a file in sent/, so nothing but the two forms and their outgoing groups passes.
    const std::string badKeys[] = {"0123456789ABCDEF0123456789abcdef", "0123", "v1-0000002A-123", "v1-0000002a-1-2",
                                   ".1", kKey + ".", kKey + ".3..1", kKey + ".3.x", kKey + "-3", kKey + ".1/../x",
                                   kKey + ".12345678901", kKey + kLongOutgoing + "3", "lmtp-" + kKey,
                                   "lmtp-" + kKey + kKey + "0"};
    for (const auto& key : badKeys)
        EXPECT_EQ(ParseEnvelopeFile(WithKey(key)).fault, "line 2 is not valid") << key;
}

} // namespace
