// Test helpers: parsing a whole message text whose header ends at the first
// empty line (CRLF CRLF), the way the agent splits a queued message, and a
// multipart message with most header fields.
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

inline const std::string kMultipart = "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
                                      "From: \"Joe Q\" <Joe@Example.COM>, ann@example.org\r\n"
                                      "To: \"B. \\\"Bee\\\" Jones\" <b@example.net>, c@example.net\r\n"
                                      "Cc: <carl@example.net>\r\n"
                                      "Subject: Quarterly report \\ \"Q4\"\r\n"
                                      "In-Reply-To: <r0@example.com>\r\n"
                                      "Message-ID: <r1@example.com>\r\n"
                                      "MIME-Version: 1.0\r\n"
                                      "Content-Type: multipart/mixed; boundary=\"XX\"\r\n"
                                      "\r\n"
                                      "preamble\r\n"
                                      "--XX\r\n"
                                      "Content-Type: text/plain; charset=utf-8\r\n"
                                      "\r\n"
                                      "hello\r\n"
                                      "--XX\r\n"
                                      "Content-Type: application/pdf; name=a.pdf\r\n"
                                      "Content-Transfer-Encoding: base64\r\n"
                                      "\r\n"
                                      "AAAA\r\n"
                                      "--XX--\r\n";

} // namespace cclienttest
