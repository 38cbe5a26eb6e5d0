// The envelope file of a queue entry (entries/ID.env): what it holds and its
// text form. docs/queue-format.md describes the format for operators.
//
// Contract: FormatEnvelopeFile and ParseEnvelopeFile are inverse: any
// EnvelopeData whose texts contain no CR or LF comes back unchanged from a
// round trip. Data with a key is written in version 2; data without one in
// version 1, which has no key, arrival or deferral lines (files that tools
// wrote before keys existed; the reader derives their key, EntryCheck.h).
// The parser is strict for each version: a wrong first line, a keyword the
// version does not have, a line with the wrong number of fields, a bad number,
// key or escape, a missing or repeated size (and in version 2 key or arrived)
// line, no channel line, a deferral for a channel without a channel line or
// two for one channel, or anything but a final "end" line makes it fail with a
// short fault text ("line 3 is not valid", "no end line (truncated)") that
// callers put into their log lines.
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

// A channel that put off some of its recipients: the entry's recipients of
// that channel are the ones still to deliver, and the channel's walks leave
// the entry alone until nextAttempt.
struct ChannelDeferral {
    std::string channel;
    uint32_t attempts = 0;     // deferrals so far, at least 1
    int64_t nextAttempt = 0;   // unix seconds
    bool operator==(const ChannelDeferral&) const = default;
};

struct EnvelopeData {
    std::string key;            // the delivery key (DeliveryKey.h); empty in a version-1 file
    int64_t arrived = 0;        // unix seconds of the commit
    uint64_t messageSize = 0;   // bytes of ID.msg when the entry was committed
    std::vector<SenderRecord> senders;
    std::vector<RecipientRecord> recipients;
    std::vector<ChannelRoute> channels;
    std::vector<ChannelDeferral> deferrals;
    // Tries of this entry that ended with the delivering process (killed, crashed
    // or hung); version 2 only, written when not 0 (InFlight.h).
    uint32_t crashes = 0;
    // The entry came through LMTP: its client got one reply per recipient, so it
    // writes the returned mail and retries deferred recipients itself (version 2
    // only, the line "lmtp").
    bool lmtp = false;
    bool operator==(const EnvelopeData&) const = default;
};

inline constexpr std::string_view kEnvelopeMagicV1 = "locmail-envelope 1";
inline constexpr std::string_view kEnvelopeMagic = "locmail-envelope 2";

// The deferral of CHANNEL (a normalised name), or null.
const ChannelDeferral* FindDeferral(const EnvelopeData& envelope, std::string_view channel);

// The recipient is for CHANNEL (a normalised name); channel texts match without regard to case.
bool RecipientOnChannel(const RecipientRecord& recipient, std::string_view channel);

std::string FormatEnvelopeFile(const EnvelopeData& envelope);

struct ParsedEnvelope {
    bool ok = false;
    EnvelopeData data;
    std::string fault;   // set when !ok
    int readError = 0;   // the file could not be read for this errno (not ENOENT): not damage, it may pass
};

ParsedEnvelope ParseEnvelopeFile(std::string_view text);

} // namespace locmail::mq
