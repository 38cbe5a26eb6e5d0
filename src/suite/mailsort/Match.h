// Match: Sieve's match types over one value and one key (RFC 5228 section 2.7).
//
// Contract: :is compares whole texts, :contains finds the key anywhere (an
// empty key is in every value), :matches reads '*' as any run of characters,
// '?' as one character (one UTF-8 character under i;ascii-casemap, one octet
// under i;octet) and '\' as taking the next character literally.
// i;ascii-casemap folds only the ASCII letters. Time is at most proportional
// to the product of the two lengths; nothing is allocated.
// Failure modes: none.
#pragma once

#include "suite/mailsort/SieveScript.h"

#include <string_view>

namespace locmail::mailsort {

bool MatchValue(std::string_view value, std::string_view key, MatchType match, Comparator comparator);

} // namespace locmail::mailsort
