// A parsed message's envelope and MIME structure in the IMAP ENVELOPE and
// BODYSTRUCTURE syntax (RFC 3501, section 7.4.2): the form in which the message
// store keeps them.
//
// Contract: strings are quoted ("..." with \ and " escaped), or sent as a
// literal {n}CRLF<bytes> when they hold CR, LF or 8-bit bytes; absent members
// are NIL. Sender and Reply-To fall back to From when the header lacks them, as
// an IMAP server reports them. BODYSTRUCTURE is the extensible form (with MD5,
// disposition, language and location), multiparts nested to any depth.
// The result depends only on the structures given; no c-client state is used.
//
// Failure modes: none. A null envelope gives an envelope of ten NILs; a null
// body (or a missing part of an encapsulated message) gives the structure of
// an empty text/plain part, so the output always parses.
#pragma once

#include <string>
#include <string_view>

struct mail_envelope;
struct mail_bodystruct;

namespace locmail::cclient {

std::string ImapEnvelope(const mail_envelope* envelope);
std::string ImapBodyStructure(const mail_bodystruct* body);
// One string in the same form: quoted, or a literal when it must be.
std::string ImapString(std::string_view text);

} // namespace locmail::cclient
