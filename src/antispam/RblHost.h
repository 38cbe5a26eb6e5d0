// The RBL host settings of the X Scanner, one directory value
// "x-vexblaction" each: "HOST,MODE,DEFAULT[,CHANNEL:ACTION...]".
//
// ParseRblHost walks the comma-separated fields, counting from 1; an empty
// field ends the walk. 1: the host name. 2: mode 0 when it begins with "P" or
// "p", else 1. 3: "d"/"D" discard, "i"/"I" ignore, anything else ignore.
// 4 and later: a field that begins with CHANNEL (without regard to case, over
// the channel name's length) sets the action from the character after its
// first colon: i ignore, d discard, f file, b bounce (either case); any other
// character, or no colon, leaves the action; a later field overrides.
// Failure modes: std::nullopt when the first field is empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace locmail::antispam {

struct RblHost {
    std::string name;
    int32_t action = 0; // an X Scanner action code (ActionWords.h)
    int32_t mode = 0;   // 0 or 1, written to the log only
};

std::optional<RblHost> ParseRblHost(std::string_view value, std::string_view channel);

// "IGNORE", "DISCARD", "FILE" or "BOUNCE" for the log line of a loaded host.
const char* RblActionName(int32_t action);

} // namespace locmail::antispam
