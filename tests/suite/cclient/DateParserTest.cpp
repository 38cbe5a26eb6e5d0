#include "suite/cclient/DateParser.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

using locmail::cclient::DateFields;
using locmail::cclient::ParseDate;

// As numbers, so a mismatch prints readably.
std::array<int, 9> Fields(const DateFields& d)
{
    return {d.day, d.month, d.year, d.hours, d.minutes, d.seconds, d.zoneWest, d.zoneHours, d.zoneMinutes};
}

TEST(ParseDate, Table)
{
    struct Case { std::string text; bool ok; DateFields want; };
    const std::string padded = "1 Dec 2026 10:00:00 +0100" + std::string(1023 - 25, ' ');
    const Case cases[] = {
        {"Tue, 1 Dec 2026 10:00:00 +0100", true, {1, 12, 56, 10, 0, 0, 0, 1, 0}},
        {"1 Dec 2026 10:00:00 -0330", true, {1, 12, 56, 10, 0, 0, 1, 3, 30}},
        {padded, true, {1, 12, 56, 10, 0, 0, 0, 1, 0}}, // 1023 characters still parse
        {padded + " ", false, {}},                      // 1024 do not
        {"1 Jan 1969 10:00:00 +0000", false, {}},
        {"1 Dec 2026 25:00:00 +0000", false, {1, 12, 56, 0, 0, 0, 0, 0, 0}}, // the date part is kept
    };
    for (const auto& c : cases) {
        DateFields got;
        std::memset(&got, 0xAA, sizeof got);
        EXPECT_EQ(ParseDate(c.text.c_str(), got), c.ok) << c.text;
        EXPECT_EQ(Fields(got), Fields(c.want)) << c.text;
    }
    for (const char* nothing : {static_cast<const char*>(nullptr), ""}) {
        DateFields got{9, 9, 9, 9, 9, 9, 9, 9, 9};
        EXPECT_FALSE(ParseDate(nothing, got));
        EXPECT_EQ(Fields(got), Fields(DateFields{}));
    }
}

} // namespace
