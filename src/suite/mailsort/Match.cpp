#include "suite/mailsort/Match.h"

namespace locmail::mailsort {

namespace {

unsigned char Fold(char c, Comparator comparator)
{
    auto u = static_cast<unsigned char>(c);
    if (comparator == Comparator::AsciiCasemap && u >= 'A' && u <= 'Z')
        return static_cast<unsigned char>(u - 'A' + 'a');
    return u;
}

bool Same(char a, char b, Comparator comparator) { return Fold(a, comparator) == Fold(b, comparator); }

bool IsEqual(std::string_view value, std::string_view key, Comparator comparator)
{
    if (value.size() != key.size())
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (!Same(value[i], key[i], comparator))
            return false;
    return true;
}

bool Contains(std::string_view value, std::string_view key, Comparator comparator)
{
    if (key.size() > value.size())
        return false;
    for (std::size_t start = 0; start + key.size() <= value.size(); ++start)
        if (IsEqual(value.substr(start, key.size()), key, comparator))
            return true;
    return false;
}

// Length of the character at VALUE[pos] for '?'.
std::size_t CharacterLength(std::string_view value, std::size_t pos, Comparator comparator)
{
    std::size_t length = 1;
    if (comparator == Comparator::AsciiCasemap)
        while (pos + length < value.size() && (static_cast<unsigned char>(value[pos + length]) & 0xC0) == 0x80)
            ++length;
    return length;
}

// Glob matching with one resume point: after a '*' the pattern only ever
// resumes at the latest star, which keeps the work within value x pattern.
bool Glob(std::string_view value, std::string_view pattern, Comparator comparator)
{
    std::size_t v = 0, p = 0;
    std::size_t starPattern = std::string_view::npos, starValue = 0;
    while (v < value.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starValue = v;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '?') {
            v += CharacterLength(value, v, comparator);
            ++p;
            continue;
        }
        if (p < pattern.size()) {
            std::size_t literal = (pattern[p] == '\\' && p + 1 < pattern.size()) ? p + 1 : p;
            if (Same(pattern[literal], value[v], comparator)) {
                p = literal + 1;
                ++v;
                continue;
            }
        }
        if (starPattern == std::string_view::npos)
            return false;
        p = starPattern;
        v = ++starValue;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool MatchValue(std::string_view value, std::string_view key, MatchType match, Comparator comparator)
{
    switch (match) {
    case MatchType::Is: return IsEqual(value, key, comparator);
    case MatchType::Contains: return Contains(value, key, comparator);
    case MatchType::Matches: return Glob(value, key, comparator);
    }
    return false;
}

} // namespace locmail::mailsort
