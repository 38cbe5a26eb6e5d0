// Text from mail and queue files made safe to print to a terminal or a log.
//
// Contract: PrintableText keeps printable ASCII, tab and well-formed UTF-8,
// and writes every other byte as \xNN: control characters (C0, DEL and C1),
// bytes that are not well-formed UTF-8, and the Unicode controls that reorder
// or hide what follows them (U+061C, U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069). A text that needs nothing comes back unchanged.
// Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

namespace locmail {

std::string PrintableText(std::string_view text);

} // namespace locmail
