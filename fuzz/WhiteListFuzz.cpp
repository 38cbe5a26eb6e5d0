// The white list tests over arbitrary lists and addresses. Input: the list, a
// line feed, the address (each cut at a NUL, as C texts are). Besides the
// sanitizers it checks ParseIPv4 against the C library's sscanf wherever
// sscanf's result is defined (no run of ten or more digits).
#include "antispam/WhiteList.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

bool HasLongDigitRun(const std::string& text)
{
    int run = 0;
    for (char c : text) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run >= 10)
            return true;
    }
    return false;
}

uint32_t ParseWithSscanf(const char* text)
{
    int a, b, c, d;
    if (std::sscanf(text, "%d.%d.%d.%d", &a, &b, &c, &d) != 4)
        return 0;
    for (int n : {a, b, c, d})
        if (n < 0 || n > 255)
            return 0;
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(c) << 8) |
           static_cast<uint32_t>(d);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t split = bytes.find('\n');
    std::string list(bytes.substr(0, split));
    std::string address(split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1));
    list.resize(std::char_traits<char>::length(list.c_str()));
    address.resize(std::char_traits<char>::length(address.c_str()));

    (void)locmail::antispam::AddressListMatches(list.c_str(), address.c_str());
    (void)locmail::antispam::IPListContains(list.c_str(), address.c_str());
    for (const std::string* text : {&list, &address})
        if (!HasLongDigitRun(*text))
            FUZZ_CHECK(ParseIPv4(text->c_str()) == ParseWithSscanf(text->c_str()));
    return 0;
}
