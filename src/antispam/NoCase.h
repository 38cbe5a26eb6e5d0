// ASCII comparisons without regard to case, as the settings file's keys, action
// words and host names are compared. Bytes outside A-Z/a-z compare exactly, so
// the result never depends on the process locale.
// Contract: pure functions on views; no failure modes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace locmail::antispam {

constexpr char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether TEXT begins with PREFIX (compared over the prefix's length).
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    return true;
}

// TEXT with A-Z lowered: a lookup key under which names differing only in case meet.
inline std::string FoldCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = FoldAscii(c);
    return out;
}

} // namespace locmail::antispam
