// The letters that other programs' mailbox files use for the IMAP system
// flags: a Maildir name's ":2," info (D draft, F flagged, R answered, S seen,
// T deleted; written in that ASCII order) and an mbox's X-Status: line
// (A answered, F flagged, T draft, D deleted). `store export` writes them,
// `migrate` reads them. Failure modes: none; unknown letters and bits are ignored.
#pragma once

#include "suite/cclient/FlagParser.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace locmail::host {

struct FlagLetter {
    char letter;
    std::uint32_t bit;
};

inline constexpr FlagLetter kMaildirLetters[] = {{'D', cclient::kDraft},
                                                 {'F', cclient::kFlagged},
                                                 {'R', cclient::kAnswered},
                                                 {'S', cclient::kSeen},
                                                 {'T', cclient::kDeleted}};
inline constexpr FlagLetter kXStatusLetters[] = {
    {'A', cclient::kAnswered}, {'F', cclient::kFlagged}, {'T', cclient::kDraft}, {'D', cclient::kDeleted}};

// The letters of the bits set in FLAGS, in the table's order.
std::string LettersOf(std::span<const FlagLetter> table, std::uint32_t flags);
// The bits whose letters LETTERS holds.
std::uint32_t BitsOf(std::span<const FlagLetter> table, std::string_view letters);

} // namespace locmail::host
