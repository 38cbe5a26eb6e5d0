// Parsing an RFC 822 message into c-client's envelope and MIME body structure.
//
// Contract: ParseMessage runs c-client's full parser (rfc822_parse_msg_full)
// over a header text and, as a memory string, the body bytes that follow it.
// Addresses without a host get DEFAULTHOST (kMissingHostName when null). The
// header is copied first, since the parser wants a writable, terminated text;
// the body is only read. A null text counts as empty. Both results are owned
// the moment the parser returns. Parse complaints about the input (bad
// addresses, MIME oddities) go to the log under "c-client", level 6.
//
// Failure modes: none thrown besides std::bad_alloc. c-client makes an envelope
// and a body for any input, garbage included; a caller still checks both for
// null, as the data model requires. Thread-safe (calls are serialised).
#pragma once

#include <cstddef>

#include "suite/cclient/Owners.h"

namespace locmail::cclient {

// The default host the agent gives to addresses that lack one.
inline constexpr const char* kMissingHostName = ".MISSING-HOST-NAME.";

struct ParsedMessage {
    EnvelopePtr envelope;
    BodyPtr body;
};

ParsedMessage ParseMessage(const char* header, std::size_t headerLength, const char* body,
                           std::size_t bodyLength, const char* defaultHost = kMissingHostName,
                           unsigned long depth = 0, unsigned long flags = 0);

} // namespace locmail::cclient
