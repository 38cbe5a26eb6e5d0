#include "suite/msgstore/HomeName.h"

#include <cstdint>
#include <cstdio>

namespace locmail::msgstore {
namespace {

bool KeptAsIs(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == '+'
        || c == '@' || c == '=';
}

std::uint32_t Fnv1a(std::string_view text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

} // namespace

std::string FoldAddress(std::string_view address)
{
    std::string out(address);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string_view LocalPart(std::string_view address)
{
    auto at = address.rfind('@');
    return at == std::string_view::npos ? address : address.substr(0, at);
}

std::string HomeDirectoryName(std::string_view address)
{
    const std::string folded = FoldAddress(address);
    std::string name;
    for (unsigned char c : folded) {
        if (name.size() == kHomeNameReadableMax)
            break;
        char out = KeptAsIs(c) ? static_cast<char>(c) : '_';
        if (out == '.' && (name.empty() || name.back() == '.'))
            out = '_';
        name += out;
    }
    if (name.empty())
        name.push_back('_');
    char hash[16];
    std::snprintf(hash, sizeof hash, "-%08x", static_cast<unsigned>(Fnv1a(folded)));
    return name + hash;
}

} // namespace locmail::msgstore
