#include "suite/platform/Printable.h"

#include <cstdint>

namespace locmail {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the start of TEXT (its code
// point in CODE), or 0. Overlong forms, surrogates and values above U+10FFFF are not well formed.
std::size_t Utf8Sequence(std::string_view text, std::uint32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length;
    std::uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(byte))
            return 0;
        code = (code << 6) | (byte & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool IsHiddenControl(std::uint32_t code)
{
    return code <= 0x9F // C1 (C0 never reaches here)
        || code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E)
        || (code >= 0x2066 && code <= 0x2069);
}

bool IsPlainAscii(unsigned char byte) { return byte == '\t' || (byte >= 0x20 && byte < 0x7F); }

} // namespace

std::string PrintableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        if (IsPlainAscii(byte)) {
            out += static_cast<char>(byte);
            text.remove_prefix(1);
            continue;
        }
        std::uint32_t code = 0;
        const std::size_t sequence = byte >= 0x80 ? Utf8Sequence(text, code) : 0;
        const std::size_t length = sequence == 0 ? 1 : sequence;
        if (sequence != 0 && !IsHiddenControl(code)) {
            out.append(text.substr(0, length));
        } else {
            for (std::size_t i = 0; i < length; ++i)
                AppendEscaped(out, static_cast<unsigned char>(text[i]));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace locmail
