#include "suite/cclient/DateParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

using locmail::cclient::DateFields;
using locmail::cclient::ParseDate;

auto Tie(const DateFields& d)
{
    return std::tie(d.day, d.month, d.year, d.hours, d.minutes, d.seconds, d.zoneWest, d.zoneHours,
                    d.zoneMinutes);
}

std::string Show(const DateFields& d)
{
    return std::to_string(d.day) + "." + std::to_string(d.month) + "." + std::to_string(d.year) + " " +
           std::to_string(d.hours) + ":" + std::to_string(d.minutes) + ":" + std::to_string(d.seconds) +
           (d.zoneWest ? " west " : " east ") + std::to_string(d.zoneHours) + ":" + std::to_string(d.zoneMinutes);
}

struct Case {
    const char* text;
    bool ok;
    DateFields want;
};

TEST(ParseDate, Table)
{
    const Case cases[] = {
        {"Tue, 1 Dec 2026 10:00:00 +0100", true, {1, 12, 56, 10, 0, 0, 0, 1, 0}},
        {"Tue,  1 Dec 2026 10:00:00 +0100 (CET)", true, {1, 12, 56, 10, 0, 0, 0, 1, 0}},
        {"Wed, 2 Dec 2026 23:59:58 -0500", true, {2, 12, 56, 23, 59, 58, 1, 5, 0}},
        {"1 Dec 2026 10:00:00 -0330", true, {1, 12, 56, 10, 0, 0, 1, 3, 30}},
        {"1 Dec 2026 10:00:00 +0545", true, {1, 12, 56, 10, 0, 0, 0, 5, 45}},
        {"1 Dec 2026 10:00 PST", true, {1, 12, 56, 10, 0, 0, 1, 8, 0}},
        {"1 Jan 1970 00:00:00 +0000", true, {1, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"31 Dec 2097 23:59:59 -1200", true, {31, 12, 127, 23, 59, 59, 1, 12, 0}},
        // two-digit years
        {"1 Dec 26 10:00:00 -0500", true, {1, 12, 56, 10, 0, 0, 1, 5, 0}},
        {"1 Dec 99 10:00:00 GMT", true, {1, 12, 29, 10, 0, 0, 0, 0, 0}},
        {"1 Dec 00 10:00:00 +0000", true, {1, 12, 30, 10, 0, 0, 0, 0, 0}},
        {"01-Dec-2026", true, {1, 12, 56, 0, 0, 0, 0, 0, 0}},
        // outside the record's years, or not a date
        {"1 Jan 1969 10:00:00 +0000", false, {}},
        {"1 Jan 2098 00:00:00 +0000", false, {}},
        {"32 Dec 2026 10:00:00 +0000", false, {}},
        {"1 Foo 2026 10:00:00 +0000", false, {}},
        {"garbage", false, {}},
        // the date part is kept when only the time is bad
        {"1 Dec 2026 25:00:00 +0000", false, {1, 12, 56, 0, 0, 0, 0, 0, 0}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        DateFields got;
        std::memset(&got, 0xAA, sizeof got);
        bool ok = ParseDate(c.text, got);
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_EQ(Tie(got), Tie(c.want)) << c.text << ": got " << Show(got) << ", want " << Show(c.want);
    }
}

TEST(ParseDate, NullAndOverlongTextGiveZeros)
{
    DateFields got{9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(ParseDate(nullptr, got));
    EXPECT_EQ(Tie(got), Tie(DateFields{}));

    // A valid date padded to the limit: 1023 characters still parse, 1024 do not.
    std::string date = "1 Dec 2026 10:00:00 +0100";
    std::string fits = date + std::string(1023 - date.size(), ' ');
    ASSERT_EQ(fits.size(), 1023u);
    EXPECT_TRUE(ParseDate(fits.c_str(), got));
    EXPECT_EQ(got.day, 1);

    std::string tooLong = fits + " ";
    got = DateFields{9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(ParseDate(tooLong.c_str(), got));
    EXPECT_EQ(Tie(got), Tie(DateFields{}));
}

} // namespace
