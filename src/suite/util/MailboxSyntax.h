// Whether a text is a mailbox as SMTP carries it (RFC 5321 section 4.1.2,
// with the UTF-8 of RFC 6531): Local-part "@" Domain, or Local-part "@"
// address-literal.
//
// Local-part: a Dot-string (atoms of atext joined by single dots) or a
// Quoted-string (printable ASCII, backslash pairs). Domain: labels of letters,
// digits and inner hyphens joined by dots; bytes of 0x80 and above count as
// letters in both, so internationalised addresses pass. An address literal:
// "[" IPv4 "]", "[IPv6:" IPv6 "]" or "[" tag ":" text "]".
//
// Besides the grammar, neither may start with '-': every command that
// takes one as an argument would read it as an option.
// Failure modes: none; the result is empty for a mailbox, else a short reason
// ("has no '@'", "its domain has an empty label", ...).
#pragma once

#include <string>
#include <string_view>

namespace locmail::util {

std::string MailboxProblem(std::string_view mailbox);
// The same for a local part alone (a shared mailbox's name).
std::string LocalPartProblem(std::string_view localPart);

} // namespace locmail::util
