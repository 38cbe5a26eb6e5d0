// Reading address-list header texts (From, To, Cc, Resent-*, ...) with
// c-client's RFC 822 address parser, for code that must not see c-client.
//
// Contract: ParseAddressList returns every address of TEXT in order, as local
// part and domain; group names and group ends are skipped (their members are
// kept); an address without a host has an empty domain; entries c-client marks
// as syntax errors are left out. DecodeEncodedWords turns RFC 2047 encoded
// words of a header text into UTF-8 with c-client's decoder; text it cannot
// decode comes back unchanged.
//
// Failure modes: none thrown besides std::bad_alloc. Thread-safe (calls are
// serialised).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace locmail::cclient {

struct MailAddress {
    std::string localPart;
    std::string domain;
};

std::vector<MailAddress> ParseAddressList(std::string_view text);

std::string DecodeEncodedWords(std::string_view text);

} // namespace locmail::cclient
