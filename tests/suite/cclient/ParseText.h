// Test helper: parsing a whole message text whose header ends at the first
// empty line (CRLF CRLF), the way the agent splits a queued message.
#pragma once

#include "suite/cclient/MessageParser.h"

#include <string>
#include <string_view>

namespace cclienttest {

inline locmail::cclient::ParsedMessage ParseText(std::string_view text)
{
    auto end = text.find("\r\n\r\n");
    std::size_t headerLength = end == std::string_view::npos ? text.size() : end + 4;
    return locmail::cclient::ParseMessage(text.data(), headerLength, text.data() + headerLength,
                                          text.size() - headerLength);
}

} // namespace cclienttest
