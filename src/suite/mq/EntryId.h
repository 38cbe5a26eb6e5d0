// Queue entry ids: 32-bit numbers, written as eight upper-case hex digits in
// file names so that names sort in id order.
//
// Contract: 0 and the walk's two sentinels are never ids. ParseEntryName
// accepts exactly eight hex digits (upper case) naming a valid id, optionally
// followed by the extension it is asked for; anything else is not an entry
// name. Failure modes: none beyond the empty optional.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace locmail::mq {

inline constexpr uint32_t kNoMessage = 0xFFFFFFFFu;        // -1: the channel has nothing more
inline constexpr uint32_t kQueueUnreachable = 0xFFFFFFFEu; // -2: the queue cannot be read

inline constexpr bool IsValidEntryId(uint32_t id)
{
    return id != 0 && id != kNoMessage && id != kQueueUnreachable;
}

std::string EntryName(uint32_t id);

std::optional<uint32_t> ParseEntryName(std::string_view name, std::string_view ext = "");

} // namespace locmail::mq
