// The zone of a receipt time, across midnight and New Year.
#include "filing/ReceiptTime.h"

#include <gtest/gtest.h>

namespace {

std::tm At(int yday, int hour, int minute)
{
    std::tm t{};
    t.tm_yday = yday;
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
}

TEST(ReceiptTime, ZoneFromTheLocalAndUtcTimesOfOneInstant)
{
    struct Case {
        std::tm local, utc;
        int west, hours, minutes;
    } cases[] = {
        {At(99, 13, 30), At(99, 8, 0), 0, 5, 30},
        {At(99, 23, 0), At(100, 4, 0), 1, 5, 0},  // west, local still on the day before
        {At(100, 1, 0), At(99, 23, 15), 0, 1, 45}, // east, local already on the next day
        {At(0, 0, 30), At(364, 23, 30), 0, 1, 0},  // east across New Year
        {At(0, 10, 0), At(365, 20, 0), 0, 14, 0},  // east across New Year after a leap year
        {At(364, 23, 0), At(0, 2, 0), 1, 3, 0},    // west across New Year
    };
    for (const auto& c : cases) {
        const auto zone = locmail::filing::ZoneOf(c.local, c.utc);
        EXPECT_EQ((std::vector<int>{zone.west, zone.hours, zone.minutes}),
                  (std::vector<int>{c.west, c.hours, c.minutes}))
            << c.local.tm_yday << " " << c.local.tm_hour << ":" << c.local.tm_min;
    }
}

} // namespace
