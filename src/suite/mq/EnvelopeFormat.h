// The envelope file of a queue entry (entries/ID.env): what it holds and its
// text form. docs/queue-format.md describes the format for operators.
//
// Contract: FormatEnvelopeFile and ParseEnvelopeFile are inverse: any
// EnvelopeData whose texts contain no CR or LF comes back unchanged from a
// round trip. The parser is strict: a wrong first line, an unknown keyword, a
// line with the wrong number of fields, a bad number or escape, a missing or
// repeated size line, no channel line, or anything but a final "end" line
// makes it fail with a short fault text ("line 3 is not valid", "no end line
// (truncated)") that callers put into their log lines.
// Failure modes: parse failures are values; nothing throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::mq {

struct SenderRecord {
    std::string address;
    std::string info;
    uint32_t flags = 0;
    uint32_t reserved = 0;
    std::string extra;
    std::string channel;
    bool operator==(const SenderRecord&) const = default;
};

struct RecipientRecord {
    std::string address;
    std::string info;
    uint32_t flags = 0;
    std::string extra;
    std::string channel;
    bool operator==(const RecipientRecord&) const = default;
};

// A channel the entry is routed to (it has a marker there), with the priority
// InsertMQChannel was given. The priority is kept for operators; walks go by id.
struct ChannelRoute {
    std::string name;
    int priority = 0;
    bool operator==(const ChannelRoute&) const = default;
};

struct EnvelopeData {
    uint64_t messageSize = 0;   // bytes of ID.msg when the entry was committed
    std::vector<SenderRecord> senders;
    std::vector<RecipientRecord> recipients;
    std::vector<ChannelRoute> channels;
    bool operator==(const EnvelopeData&) const = default;
};

inline constexpr std::string_view kEnvelopeMagic = "locmail-envelope 1";

std::string FormatEnvelopeFile(const EnvelopeData& envelope);

struct ParsedEnvelope {
    bool ok = false;
    EnvelopeData data;
    std::string fault;   // set when !ok
};

ParsedEnvelope ParseEnvelopeFile(std::string_view text);

} // namespace locmail::mq
