// Writing an RFC 822 message header from an envelope and a MIME body structure
// with c-client's own header output (for composing and rewriting messages).
//
// Contract: WriteHeader returns the header lines c-client writes for ENVELOPE
// (Date, From, Sender, Reply-To, Subject, To, Cc, In-Reply-To, Message-ID,
// ...) followed, when BODY is given, by MIME-Version and the body's Content-*
// lines; lines end in CRLF and the header ends with the empty line. Texts are
// written as they are held (already encoded; nothing is RFC 2047-encoded
// here). The structures are not changed. Two c-client habits to know: a
// parsed envelope carries From copied into Sender and Reply-To, so those lines
// appear; and a group is written by its name only ("Team: ;"), its members
// left out.
//
// Failure modes: a null envelope gives an empty string. Otherwise none thrown
// besides std::bad_alloc. Thread-safe (calls are serialised).
#pragma once

#include <string>

struct mail_envelope;
struct mail_bodystruct;

namespace locmail::cclient {

std::string WriteHeader(const mail_envelope* envelope, const mail_bodystruct* body);

} // namespace locmail::cclient
