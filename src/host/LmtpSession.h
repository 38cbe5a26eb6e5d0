// One LMTP session (RFC 2033): LHLO, MAIL, RCPT, DATA, RSET, NOOP, VRFY and
// QUIT, with PIPELINING, 8BITMIME, ENHANCEDSTATUSCODES and SIZE.
//
// Contract: RCPT TO is answered from the store's users directory at once: an
// address that is neither a user nor a shared mailbox gets "550 5.1.1". After
// DATA (dot-unstuffed; a bare LF ends a line and is stored as CR LF, as
// `locmail inject` stores it) the message is queued on "local" as an LMTP
// entry whose key is the transaction's digest (LmtpKey.h), the delivery
// thread is woken, and each accepted recipient gets the reply its outcome
// gives (LmtpReply.h), or "451 4.3.0" when the outcome is not known within the
// wait bound (taken by another process, a store outage, a slow store).
// A command line over 512 octets gets "500 5.5.2"; text lines may be of any
// length. MAIL FROM with SIZE above the limit gets "552 5.3.4"; a text above
// it is read to its end and refused with "552 5.3.4" for every recipient.
// Nothing is queued for a client that stops or falls silent before the final
// dot; a client silent for the timeout gets "421 4.4.2" and is closed. While
// the server stops, a session ends with "421 4.3.2" before its next command.
// Failure modes: none thrown but std::bad_alloc; a users directory that
// cannot be read gives "451 4.3.0" at RCPT, a queue that cannot take the
// message "451 4.3.0" after DATA.
#pragma once

#include "host/LmtpOutcomes.h"
#include "suite/platform/UniqueFd.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace locmail::host {

// What every session of a server shares; it outlives them.
struct LmtpSessionContext {
    std::string hostName;
    std::string storeHome;
    std::size_t maxMessageBytes = 0;
    int timeoutSeconds = 300;
    std::chrono::seconds outcomeWait{300};
    OutcomeBoard* board = nullptr;
    std::function<void()> wakeDelivery;
    int closingFd = -1; // readable once the server stops
};

void RunLmtpSession(UniqueFd socket, const LmtpSessionContext& context);

} // namespace locmail::host
