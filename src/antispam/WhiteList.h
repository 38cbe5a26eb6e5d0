// The two white list tests of the anti-spam settings, and the dotted-quad parser
// they use.
//
// Lists are comma-separated and walked item by item, each item exactly as it
// stands between the commas (blanks included). An empty item - a list that is
// empty, begins or ends with a comma, or has two commas in a row - ends the walk
// with false: items after it are never looked at. A null list is false.
// - AddressListMatches: an item is a wildcard pattern matched against the whole
//   address with fnmatch(3) and no flags (case-sensitive, "\" escapes).
// - IPListContains: an item with a "-" is an inclusive range (low end before the
//   first "-", high end after it, compared as unsigned values; a low end above
//   the high end contains nothing); any other item is one address.
// ParseIPv4 reads "%d.%d.%d.%d" the way sscanf would (blanks before each number
// skipped, a sign allowed, anything after the fourth number ignored); it gives
// a*16777216 + b*65536 + c*256 + d when all four were read and lie in 0..255,
// else 0. So "10.0.0.0/8" is the single address 10.0.0.0, and any text that is
// not an address - "300.1.1.1", "" - counts as 0.0.0.0. A number too long for
// an int is out of range (where sscanf's result would be undefined).
// Contract: pure; a null address or text counts as an empty text. No failure modes.
#pragma once

#include <cstdint>
#include <string_view>

uint32_t ParseIPv4(const char* text);

namespace locmail::antispam {

uint32_t ParseIPv4(std::string_view text);

bool AddressListMatches(const char* list, const char* address);
bool IPListContains(const char* list, const char* address);

} // namespace locmail::antispam
