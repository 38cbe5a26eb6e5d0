// The search filters the embedded directory evaluates (RFC 4515, a subset):
// equality "(attr=value)", presence "(attr=*)", and "(&...)", "(|...)",
// "(!...)" over them, with \XX escapes in values.
//
// Matching: attribute names compare without regard to case, and so do values:
// every attribute the system searches by (objectClass, cn, othermailbox, mail,
// uid) has a case-ignoring equality rule in its schema. An entry's name is
// not an attribute here.
// Failure modes: ParseFilter returns std::nullopt for anything else
// (substrings, ordering, approximate or extensible matches, a filter nested
// deeper than kMaxDepth, a text longer than kMaxFilterText, unbalanced
// parentheses); the caller logs it.
#pragma once

#include "suite/ldap/DirectoryEntry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::ldap {

struct SearchFilter {
    enum class Kind { Equal, Present, And, Or, Not };
    Kind kind = Kind::Present;
    std::string attribute;           // Equal, Present
    std::string value;               // Equal
    std::vector<SearchFilter> parts; // And, Or, Not (one)
};

inline constexpr std::size_t kMaxDepth = 16;
inline constexpr std::size_t kMaxFilterText = 4096;

std::optional<SearchFilter> ParseFilter(std::string_view text);
bool Matches(const SearchFilter& filter, const DirectoryEntry& entry);

} // namespace locmail::ldap
