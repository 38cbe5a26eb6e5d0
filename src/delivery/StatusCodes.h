// The agent's status codes: what it keeps in its CLogging last-error code
// after a failing step. The host and the returned-mail texts read them back,
// so each has exactly one number.
#pragma once

namespace locmail::delivery {

inline constexpr int kStatusMailboxError = 3;     // a store failure other than the ones below
inline constexpr int kStatusReadFailed = 6;       // the queue file could not be read
inline constexpr int kStatusBodyInvalid = 7;      // "Message body is invalid"
inline constexpr int kStatusEnvelopeInvalid = 8;  // "Message envelope is invalid"
inline constexpr int kStatusHeaderInvalid = 9;    // "Message header is invalid"
inline constexpr int kStatusQueueFileEmpty = 10;  // "Message queue file not found or isempty"
inline constexpr int kStatusNoMailbox = 11;       // no mailbox for the recipient
inline constexpr int kStatusMayNotReceive = 13;   // the user may not receive mail now

} // namespace locmail::delivery
