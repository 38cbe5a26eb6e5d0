// Listing the queue's folders by entry name.
//
// Contract: ListEntryIds gives the ids of the names in DIR that are an entry
// name followed by EXT ("" for channel markers), sorted ascending, ignoring
// every other name and folders by such names. ListSubfolders gives the names of the folders in DIR,
// ListNames every name in DIR (but "." and ".."), sorted.
// Failure modes: both return false (errno set) when DIR cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::mq {

[[nodiscard]] bool ListEntryIds(const std::string& dir, std::string_view ext, std::vector<uint32_t>& ids);
[[nodiscard]] bool ListSubfolders(const std::string& dir, std::vector<std::string>& names);
[[nodiscard]] bool ListNames(const std::string& dir, std::vector<std::string>& names);

} // namespace locmail::mq
