#include "suite/msgstore/StatusDate.h"

namespace locmail::msgstore {

void SetStatusDate(_msgstat& record, const locmail::cclient::DateFields& date)
{
    record.day = date.day;
    record.month = date.month;
    record.year = date.year;
    record.hours = date.hours;
    record.minutes = date.minutes;
    record.seconds = date.seconds;
    record.zoneWest = date.zoneWest;
    record.zoneHours = date.zoneHours;
    record.zoneMinutes = date.zoneMinutes;
}

void SetStatusLocalTime(_msgstat& record, const std::tm& local)
{
    record.day = static_cast<std::uint8_t>(local.tm_mday);
    record.month = static_cast<std::uint8_t>(local.tm_mon + 1);
    record.year = static_cast<std::uint8_t>(local.tm_year - 70);
    record.hours = static_cast<std::uint8_t>(local.tm_hour);
    record.minutes = static_cast<std::uint8_t>(local.tm_min);
    record.seconds = static_cast<std::uint8_t>(local.tm_sec);
}

} // namespace locmail::msgstore
