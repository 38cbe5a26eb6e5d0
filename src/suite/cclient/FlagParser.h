// Reading an IMAP flag list ("\Seen \Flagged" or "(\Seen)") with c-client's
// flag parser, into the system and user flag words of the message status record.
//
// Contract: ParseFlags parses against an empty stream that defines no user
// keywords, so only the five system flags below can be set and the user word
// stays 0. The list is copied first because the parser writes to it.
//
// Failure modes: none thrown besides std::bad_alloc. A null or empty list gives
// 0/0 silently. c-client logs what it cannot use under "c-client" and skips it,
// as warnings (level 2): "Unknown flag: WORD", "Unsupported system flag: \WORD"
// (\Recent included), "Empty flag invalid" (two blanks in a row); the other
// flags of the list still count. An unbalanced parenthesis is an error (level 1,
// "Bad flag list") and gives 0/0.
#pragma once

#include <cstdint>

namespace locmail::cclient {

// c-client's system flag bits, as the status record stores them.
inline constexpr std::uint32_t kSeen = 0x1;
inline constexpr std::uint32_t kDeleted = 0x2;
inline constexpr std::uint32_t kFlagged = 0x4;
inline constexpr std::uint32_t kAnswered = 0x8;
inline constexpr std::uint32_t kOld = 0x10; // no longer recent
inline constexpr std::uint32_t kDraft = 0x20;

struct Flags {
    std::uint32_t system = 0;
    std::uint32_t user = 0;
};

Flags ParseFlags(const char* list);

} // namespace locmail::cclient
