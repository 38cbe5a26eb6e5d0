#include "suite/util/JsonString.h"

#include <cstdio>

namespace locmail::util {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence starting at TEXT[AT], or 0.
std::size_t SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || at + length > text.size())
        return 0;
    // The second byte's range rules out overlong forms, surrogates and code points above U+10FFFF.
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

void AppendEscapedByte(std::string& out, unsigned char c)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    }
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", c);
    out += code;
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F || c == '"' || c == '\\')
                AppendEscapedByte(out, c);
            else
                out += static_cast<char>(c);
            ++at;
            continue;
        }
        std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out + "\"";
}

} // namespace locmail::util
