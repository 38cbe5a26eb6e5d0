// A text as a JSON string literal, for the commands' --json output.
//
// Contract: JsonString returns TEXT between double quotes with '"' and '\'
// escaped, the C0 controls and DEL written as \uXXXX (\n, \r, \t, \b, \f in
// their short forms), and well-formed UTF-8 kept as it is. Each byte that is
// not part of well-formed UTF-8 (a stray continuation byte, a cut sequence,
// an overlong form, a surrogate, anything above U+10FFFF) becomes U+FFFD, so
// the output is always valid UTF-8 and valid JSON, whatever a header held.
// Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

namespace locmail::util {

std::string JsonString(std::string_view text);

} // namespace locmail::util
