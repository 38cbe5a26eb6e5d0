// Loading a message: where the header ends, and the receipt time's zone.
#include "delivery/HeaderSize.h"
#include "delivery/MsgStatZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace {

TEST(HeaderSizeTest, EndsAfterTheFirstEmptyLine)
{
    struct Case {
        std::string text;
        uint32_t want;
    } cases[] = {
        {"0123456789\r\n\r\nbody", 14}, {"0123456789\n\nbody", 12},  {"ab\n\r\r\nbody\n\n", 6},
        {"ab\r\ncd\r\nno empty line", 0}, {"ab\r\n\r", 5}, {"ab\r\ncd\r\n", 8}, {"ab\r\n \r\n\r\n", 9},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(locmail::delivery::HeaderSize(c.text.data(), uint32_t(c.text.size())), c.want) << c.text;
}

std::tm Time(int yday, int hour, int minute)
{
    std::tm t{};
    t.tm_yday = yday, t.tm_hour = hour, t.tm_min = minute;
    return t;
}

std::string Text(locmail::delivery::ZoneFields zone)
{
    char out[32];
    std::snprintf(out, sizeof out, "%s %d:%02d", zone.west ? "west" : "east", zone.hours, zone.minutes);
    return out;
}

TEST(ZoneTest, OffsetAcrossDayAndYearBoundaries)
{
    struct Case {
        const char* name;
        std::tm local, utc;
        const char* want;
    } cases[] = {
        {"same day", Time(100, 14, 30), Time(100, 12, 0), "east 2:30"},
        {"same day", Time(100, 7, 0), Time(100, 12, 0), "west 5:00"},
        {"next day", Time(101, 1, 0), Time(100, 23, 0), "east 2:00"},
        {"previous day", Time(99, 20, 0), Time(100, 3, 0), "west 7:00"},
        {"New Year, local ahead", Time(0, 0, 30), Time(364, 23, 30), "east 1:00"},
        {"New Year after a leap year, local ahead", Time(0, 10, 0), Time(365, 20, 0), "east 14:00"},
        {"New Year, local behind", Time(364, 19, 0), Time(0, 0, 0), "west 5:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(locmail::delivery::ZoneFromTimes(c.local, c.utc)), c.want) << c.name;
}

} // namespace
