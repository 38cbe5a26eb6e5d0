// Read access to a parsed envelope and body structure for code that must not
// see c-client's headers (the agent, the store, `locmail store ls`, tests).
//
// Contract: every function accepts null and then answers "absent" (null text,
// empty string, 0). Returned C strings point into the structure and live as
// long as it does. Texts are raw header text, not decoded (no RFC 2047).
//
// Failure modes: none.
#pragma once

#include <cstddef>
#include <string>

struct mail_envelope;
struct mail_bodystruct;

namespace locmail::cclient {

// The Date field text, or null when the header has none.
const char* EnvelopeDate(const mail_envelope* envelope);
const char* EnvelopeSubject(const mail_envelope* envelope);
const char* EnvelopeMessageId(const mail_envelope* envelope);
const char* EnvelopeReferences(const mail_envelope* envelope);
// mailbox@host of the first From address ("mailbox" alone without a host);
// empty when there is no From.
std::string EnvelopeFromAddress(const mail_envelope* envelope);

// "TYPE/SUBTYPE" in upper case, for example "TEXT/PLAIN"; empty for null.
std::string BodyType(const mail_bodystruct* body);
// The number of direct parts of a multipart body; 0 for any other body.
std::size_t BodyPartCount(const mail_bodystruct* body);
// Direct part INDEX (from 0) of a multipart body; null when there is none.
const mail_bodystruct* BodyPart(const mail_bodystruct* body, std::size_t index);

} // namespace locmail::cclient
