// The IMAP names of the system flag bits a message status record stores
// (FlagParser.h), for listings and exports.
//
// Contract: SystemFlagNames gives the names of the bits set in SYSTEM, in the
// order \Seen \Answered \Flagged \Deleted \Draft; \Recent is a session's
// notion and kOld an internal one, so neither is named. Unknown bits are
// ignored. Failure modes: none.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace locmail::cclient {

std::vector<std::string_view> SystemFlagNames(std::uint32_t system);

} // namespace locmail::cclient
