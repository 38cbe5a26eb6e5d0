// What the queue commands share: ids as the operator types them (eight hex
// digits, as `queue ls` shows them; lower case is taken too) and times as they
// show them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace locmail::host {

// The id, or nothing after a complaint on standard error.
std::optional<std::uint32_t> QueueIdArgument(const std::string& text);

// Unix SECONDS as local "YYYY-MM-DD HH:MM:SS".
std::string LocalTime(std::int64_t seconds);

} // namespace locmail::host
