// The receipt time of one instant in several zones: date and zone fields
// across midnight, New Year (also after a leap year) and summer time.
#include "suite/msgstore/StatusDate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::time_t Utc(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return ::timegm(&t);
}

TEST(StatusDate, ReceiptTimeIsTheLocalTimeAndZoneOfTheInstant)
{
    struct Case {
        const char* zone;
        std::time_t now;
        std::vector<int> want; // day, month, year - 1970, hours, minutes, west, zone hours, zone minutes
    } cases[] = {
        {"IST-5:30", Utc(2026, 4, 10, 8, 0), {10, 4, 56, 13, 30, 0, 5, 30}},
        {"EST5", Utc(2026, 4, 10, 4, 0), {9, 4, 56, 23, 0, 1, 5, 0}},          // west, local still on the day before
        {"NZST-12", Utc(2026, 4, 9, 23, 15), {10, 4, 56, 11, 15, 0, 12, 0}},   // east, local already on the next day
        {"XXX-14", Utc(2026, 12, 31, 20, 0), {1, 1, 57, 10, 0, 0, 14, 0}},     // east across New Year
        {"XXX-14", Utc(2024, 12, 31, 20, 0), {1, 1, 55, 10, 0, 0, 14, 0}},     // ... after a leap year
        {"YYY3", Utc(2027, 1, 1, 2, 0), {31, 12, 56, 23, 0, 1, 3, 0}},         // west across New Year
        {"NST3:30NDT,M3.2.0,M11.1.0", Utc(2026, 7, 1, 2, 0), {30, 6, 56, 23, 30, 1, 2, 30}}, // summer time
        {"UTC0", Utc(2026, 4, 10, 8, 5), {10, 4, 56, 8, 5, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        _msgstat record;
        record.size = 77; // the stamp starts from a clean record
        locmail::msgstore::StampReceiptTime(record, c.now);
        EXPECT_EQ((std::vector<int>{record.day, record.month, record.year, record.hours, record.minutes,
                                    record.zoneWest, record.zoneHours, record.zoneMinutes}),
                  c.want)
            << c.zone;
        EXPECT_EQ(record.size, 0u) << c.zone;
    }
    ::unsetenv("TZ"); // the system zone again for the tests after this one
    ::tzset();
}

} // namespace
