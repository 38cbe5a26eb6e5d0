// The match types and comparators on their own, where the wildcard rules and
// the case folding have their edge cases.
#include "suite/mailsort/Match.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using locmail::mailsort::Comparator;
using locmail::mailsort::MatchType;
using locmail::mailsort::MatchValue;

struct Row {
    const char* value;
    const char* key;
    MatchType match;
    Comparator comparator;
    bool expected;
};

constexpr auto kIs = MatchType::Is, kContains = MatchType::Contains, kMatches = MatchType::Matches;
constexpr auto kCase = Comparator::AsciiCasemap, kOctet = Comparator::Octet;

const Row kRows[] = {
    {"Hello", "hello", kIs, kCase, true},
    {"Hello", "hello", kIs, kOctet, false},
    {"Hello", "Hell", kIs, kCase, false},
    {"", "", kIs, kCase, true},
    {"anything", "", kContains, kCase, true},
    {"Make MONEY fast", "money", kContains, kCase, true},
    {"Make MONEY fast", "money", kContains, kOctet, false},
    {"grün", "GRüN", kIs, kCase, true},
    {"grün", "GRÜN", kIs, kCase, false}, // only ASCII letters fold
    {"", "*", kMatches, kCase, true},
    {"", "?", kMatches, kCase, false},
    {"abc", "*b*", kMatches, kCase, true},
    {"abc", "a?c", kMatches, kCase, true},
    {"abc", "a?", kMatches, kCase, false},
    {"abc", "ABC", kMatches, kCase, true},
    {"abc", "ABC", kMatches, kOctet, false},
    {"aXbXc", "a*b*c", kMatches, kCase, true},
    {"aXbXd", "a*b*c", kMatches, kCase, false},
    {"mississippi", "m*ss*pi", kMatches, kCase, true},
    {"a*b", "a\\*b", kMatches, kCase, true},
    {"aXb", "a\\*b", kMatches, kCase, false},
    {"a\\b", "a\\\\b", kMatches, kCase, true},
    {"ü", "?", kMatches, kCase, true},   // one UTF-8 character
    {"ü", "?", kMatches, kOctet, false}, // two octets
    {"ü", "??", kMatches, kOctet, true},
};

TEST(Match, Table)
{
    for (const Row& row : kRows)
        EXPECT_EQ(MatchValue(row.value, row.key, row.match, row.comparator), row.expected)
            << "'" << row.value << "' against '" << row.key << "' (" << static_cast<int>(row.match) << ", "
            << static_cast<int>(row.comparator) << ")";
}

TEST(Match, HostilePatternEnds)
{
    std::string value(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 2000; ++i)
        pattern += "*a";
    EXPECT_FALSE(MatchValue(value, pattern + "b", kMatches, kCase));
    EXPECT_TRUE(MatchValue(value, pattern, kMatches, kCase));
}

} // namespace
