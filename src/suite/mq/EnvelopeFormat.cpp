#include "suite/mq/EnvelopeFormat.h"

#include "suite/mq/DeliveryKey.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/DigitValue.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace locmail::mq {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Blanks, controls and '%' are escaped so that fields split at single blanks;
// a lone "-" stands for the empty text, so a real "-" is escaped too.
bool NeedsEscape(unsigned char c) { return c <= 0x20 || c == 0x7F || c == '%'; }

void AppendField(std::string& out, std::string_view text)
{
    out += ' ';
    if (text.empty()) {
        out += '-';
        return;
    }
    if (text == "-") {
        out += "%2D";
        return;
    }
    for (unsigned char c : text) {
        if (NeedsEscape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
}

// Each number is written in its own type: a size above the largest signed
// value must come back as itself, not as a negative number the reader refuses.
template <typename Number>
void AppendNumber(std::string& out, Number value)
{
    out += ' ';
    out += std::to_string(value);
}

std::optional<std::string> DecodeField(std::string_view field)
{
    if (field == "-")
        return std::string();
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '%') {
            if (NeedsEscape(static_cast<unsigned char>(c)))
                return std::nullopt;
            out += c;
            continue;
        }
        if (i + 2 >= field.size())
            return std::nullopt;
        const int hi = DigitValue(field[i + 1]);
        const int lo = DigitValue(field[i + 2]);
        if (hi >= 16 || lo >= 16)
            return std::nullopt;
        char decoded = static_cast<char>(hi * 16 + lo);
        // Line ends would split the record; a NUL would cut the text where the agent reads it as a C string.
        if (decoded == '\r' || decoded == '\n' || decoded == '\0')
            return std::nullopt;
        out += decoded;
        i += 2;
    }
    return out;
}

template <typename T>
std::optional<T> DecodeNumber(std::string_view field)
{
    T value{};
    auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || field.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t blank = line.find(' ', start);
        fields.push_back(line.substr(start, blank - start));
        if (blank == std::string_view::npos)
            return fields;
        start = blank + 1;
    }
}

// A channel name names a folder of the queue: it passes the same check as a
// name the queue's callers give, so a tampered envelope cannot point elsewhere.
std::optional<std::string> ChannelName(std::string_view field)
{
    auto decoded = DecodeField(field);
    return decoded ? NormaliseChannelName(*decoded) : std::nullopt;
}

// The four text fields a sender or recipient line ends with.
template <typename Record>
void AppendTextFields(std::string& out, const Record& record)
{
    AppendField(out, record.address);
    AppendField(out, record.info);
    AppendField(out, record.extra);
    AppendField(out, record.channel);
}

// Reads those four fields from FIELDS[FIRST] on; false when one does not decode.
template <typename Record>
bool ReadTextFields(const std::vector<std::string_view>& fields, std::size_t first, Record& record)
{
    auto address = DecodeField(fields[first]);
    auto info = DecodeField(fields[first + 1]);
    auto extra = DecodeField(fields[first + 2]);
    auto channel = DecodeField(fields[first + 3]);
    if (!address || !info || !extra || !channel)
        return false;
    record.address = std::move(*address);
    record.info = std::move(*info);
    record.extra = std::move(*extra);
    record.channel = std::move(*channel);
    return true;
}

bool AllPresent(const std::vector<std::string_view>& fields)
{
    for (auto f : fields)
        if (f.empty())
            return false;
    return true;
}

// One line of the body, by keyword; false when it is not valid in VERSION.
class LineReader {
public:
    LineReader(EnvelopeData& out, int version) : out_(out), version_(version) {}

    bool Read(std::string_view line)
    {
        auto f = SplitFields(line);
        if (!AllPresent(f))
            return false;
        if (version_ >= 2) {
            if (f[0] == "key")
                return ReadKey(f);
            if (f[0] == "arrived")
                return ReadArrived(f);
            if (f[0] == "deferred")
                return ReadDeferral(f);
            if (f[0] == "crashed")
                return ReadOnce(f, sawCrashed_, out_.crashes);
            if (f[0] == "lmtp")
                return ReadLmtpMark(f);
        }
        if (f[0] == "size")
            return ReadSize(f);
        if (f[0] == "channel")
            return ReadChannel(f);
        if (f[0] == "from")
            return ReadSender(f);
        if (f[0] == "rcpt")
            return ReadRecipient(f);
        return false;
    }

    // Empty when the lines read make a whole envelope, else what is missing.
    std::string Missing() const
    {
        if (!sawSize_)
            return "no size line";
        if (version_ >= 2 && out_.key.empty())
            return "no key line";
        if (version_ >= 2 && !sawArrived_)
            return "no arrived line";
        if (out_.channels.empty())
            return "no channel line";
        for (const auto& deferral : out_.deferrals)
            if (std::none_of(out_.channels.begin(), out_.channels.end(),
                             [&](const ChannelRoute& route) { return route.name == deferral.channel; }))
                return "deferred on " + deferral.channel + ", which is not a channel of the entry";
        return {};
    }

private:
    bool ReadKey(const std::vector<std::string_view>& f)
    {
        if (f.size() != 2 || !out_.key.empty() || !IsDeliveryKey(f[1]))
            return false;
        out_.key = f[1];
        return true;
    }

    bool ReadArrived(const std::vector<std::string_view>& f) { return ReadOnce(f, sawArrived_, out_.arrived); }

    bool ReadDeferral(const std::vector<std::string_view>& f)
    {
        if (f.size() != 4)
            return false;
        auto channel = ChannelName(f[1]);
        auto attempts = DecodeNumber<uint32_t>(f[2]);
        auto next = DecodeNumber<int64_t>(f[3]);
        if (!channel || !attempts || *attempts == 0 || !next || *next < 0 ||
            FindDeferral(out_, *channel) != nullptr)
            return false;
        out_.deferrals.push_back({std::move(*channel), *attempts, *next});
        return true;
    }

    bool ReadSize(const std::vector<std::string_view>& f) { return ReadOnce(f, sawSize_, out_.messageSize); }

    // A line "KEYWORD NUMBER" that may appear once, with a number that is not negative.
    template <typename Number>
    static bool ReadOnce(const std::vector<std::string_view>& f, bool& seen, Number& into)
    {
        if (f.size() != 2 || seen)
            return false;
        auto value = DecodeNumber<Number>(f[1]);
        if (!value || *value < Number{0})
            return false;
        into = *value;
        seen = true;
        return true;
    }

    // "lmtp" alone, at most once.
    bool ReadLmtpMark(const std::vector<std::string_view>& f)
    {
        if (f.size() != 1 || out_.lmtp)
            return false;
        out_.lmtp = true;
        return true;
    }

    bool ReadChannel(const std::vector<std::string_view>& f)
    {
        if (f.size() != 3)
            return false;
        auto priority = DecodeNumber<int>(f[1]);
        auto name = ChannelName(f[2]);
        if (!priority || !name)
            return false;
        out_.channels.push_back({std::move(*name), *priority});
        return true;
    }

    bool ReadSender(const std::vector<std::string_view>& f)
    {
        if (f.size() != 7)
            return false;
        auto flags = DecodeNumber<uint32_t>(f[1]);
        auto reserved = DecodeNumber<uint32_t>(f[2]);
        SenderRecord sender;
        if (!flags || !reserved || !ReadTextFields(f, 3, sender))
            return false;
        sender.flags = *flags;
        sender.reserved = *reserved;
        out_.senders.push_back(std::move(sender));
        return true;
    }

    bool ReadRecipient(const std::vector<std::string_view>& f)
    {
        if (f.size() != 6)
            return false;
        auto flags = DecodeNumber<uint32_t>(f[1]);
        RecipientRecord recipient;
        if (!flags || !ReadTextFields(f, 2, recipient))
            return false;
        recipient.flags = *flags;
        out_.recipients.push_back(std::move(recipient));
        return true;
    }

    EnvelopeData& out_;
    const int version_;
    bool sawSize_ = false;
    bool sawArrived_ = false;
    bool sawCrashed_ = false;
};

ParsedEnvelope Fail(std::string fault)
{
    ParsedEnvelope result;
    result.fault = std::move(fault);
    return result;
}

} // namespace

const ChannelDeferral* FindDeferral(const EnvelopeData& envelope, std::string_view channel)
{
    for (const auto& deferral : envelope.deferrals)
        if (deferral.channel == channel)
            return &deferral;
    return nullptr;
}

bool RecipientOnChannel(const RecipientRecord& recipient, std::string_view channel)
{
    auto name = NormaliseChannelName(recipient.channel);
    return name && *name == channel;
}

std::string FormatEnvelopeFile(const EnvelopeData& envelope)
{
    const bool keyed = !envelope.key.empty();
    std::string out(keyed ? kEnvelopeMagic : kEnvelopeMagicV1);
    out += '\n';
    if (keyed) {
        out += "key " + envelope.key + "\narrived";
        AppendNumber(out, envelope.arrived);
        out += '\n';
    }
    out += "size";
    AppendNumber(out, envelope.messageSize);
    out += '\n';
    for (const auto& route : envelope.channels) {
        out += "channel";
        AppendNumber(out, route.priority);
        AppendField(out, route.name);
        out += '\n';
    }
    for (std::size_t i = 0; keyed && i < envelope.deferrals.size(); ++i) {
        const ChannelDeferral& deferral = envelope.deferrals[i];
        out += "deferred";
        AppendField(out, deferral.channel);
        AppendNumber(out, deferral.attempts);
        AppendNumber(out, deferral.nextAttempt);
        out += '\n';
    }
    if (keyed && envelope.crashes != 0) {
        out += "crashed";
        AppendNumber(out, envelope.crashes);
        out += '\n';
    }
    if (keyed && envelope.lmtp)
        out += "lmtp\n";
    for (const auto& s : envelope.senders) {
        out += "from";
        AppendNumber(out, s.flags);
        AppendNumber(out, s.reserved);
        AppendTextFields(out, s);
        out += '\n';
    }
    for (const auto& r : envelope.recipients) {
        out += "rcpt";
        AppendNumber(out, r.flags);
        AppendTextFields(out, r);
        out += '\n';
    }
    out += "end\n";
    return out;
}

ParsedEnvelope ParseEnvelopeFile(std::string_view text)
{
    ParsedEnvelope result;
    if (text.empty())
        return Fail("envelope is empty");
    std::string_view first = text.substr(0, text.find('\n'));
    const int version = first == kEnvelopeMagic ? 2 : first == kEnvelopeMagicV1 ? 1 : 0;
    if (version == 0)
        return Fail("line 1 is not \"" + std::string(kEnvelopeMagic) + "\"");
    LineReader reader(result.data, version);
    std::size_t lineNo = 0;
    bool ended = false;
    while (!text.empty()) {
        ++lineNo;
        std::size_t lf = text.find('\n');
        if (lf == std::string_view::npos)
            return Fail("no end line (truncated)");
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf + 1);
        if (ended)
            return Fail("text after the end line");
        if (lineNo == 1)
            continue;
        if (line == "end") {
            ended = true;
            continue;
        }
        if (!reader.Read(line))
            return Fail("line " + std::to_string(lineNo) + " is not valid");
    }
    if (!ended)
        return Fail("no end line (truncated)");
    if (std::string missing = reader.Missing(); !missing.empty())
        return Fail(std::move(missing));
    result.ok = true;
    return result;
}

} // namespace locmail::mq
