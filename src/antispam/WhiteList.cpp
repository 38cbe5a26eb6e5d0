#include "antispam/WhiteList.h"

#include <fnmatch.h>

#include <optional>
#include <string>

namespace locmail::antispam {
namespace {

constexpr bool IsScanBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One "%d" conversion at POS: blanks, an optional sign, at least one digit.
// Values beyond what an octet could be are kept as "too big" rather than wrapped.
std::optional<long> ScanNumber(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && IsScanBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (pos >= text.size() || !IsDigit(text[pos]))
        return std::nullopt;
    constexpr long kTooBig = 1L << 20;
    long value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos)
        if (value < kTooBig)
            value = value * 10 + (text[pos] - '0');
    return negative ? -value : value;
}

// Calls TEST with each item of LIST until it says true or the walk ends.
template <typename Test>
bool AnyItem(const char* list, Test test)
{
    if (list == nullptr)
        return false;
    std::string_view rest(list);
    for (;;) {
        std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        if (item.empty())
            return false;
        if (test(item))
            return true;
        if (comma == std::string_view::npos)
            return false;
        rest.remove_prefix(comma + 1);
    }
}

bool ItemContains(std::string_view item, uint32_t address)
{
    std::size_t dash = item.find('-');
    if (dash == std::string_view::npos)
        return address == ParseIPv4(item);
    uint32_t low = ParseIPv4(item.substr(0, dash));
    uint32_t high = ParseIPv4(item.substr(dash + 1));
    return low <= address && address <= high;
}

} // namespace

uint32_t ParseIPv4(std::string_view text)
{
    uint32_t value = 0;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return 0;
            ++pos;
        }
        std::optional<long> number = ScanNumber(text, pos);
        if (!number || *number < 0 || *number > 255)
            return 0;
        value = value * 256 + static_cast<uint32_t>(*number);
    }
    return value;
}

bool AddressListMatches(const char* list, const char* address)
{
    const char* subject = address ? address : "";
    return AnyItem(list, [subject](std::string_view item) {
        std::string pattern(item); // fnmatch needs a terminated pattern
        return ::fnmatch(pattern.c_str(), subject, 0) == 0;
    });
}

bool IPListContains(const char* list, const char* address)
{
    uint32_t value = ParseIPv4(std::string_view(address ? address : ""));
    return AnyItem(list, [value](std::string_view item) { return ItemContains(item, value); });
}

} // namespace locmail::antispam

uint32_t ParseIPv4(const char* text) { return locmail::antispam::ParseIPv4(std::string_view(text ? text : "")); }
