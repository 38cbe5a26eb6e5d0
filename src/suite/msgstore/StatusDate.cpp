#include "suite/msgstore/StatusDate.h"

#include <cstring>

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

void StampReceiptTime(_msgstat& record, std::time_t now)
{
    std::memset(&record, 0, sizeof record);
    std::tm local{};
    localtime_r(&now, &local);
    SetStatusLocalTime(record, local);
    long offset = local.tm_gmtoff / 60;
    record.zoneWest = offset < 0 ? 1 : 0;
    offset = offset < 0 ? -offset : offset;
    record.zoneHours = static_cast<std::uint8_t>(offset / 60);
    record.zoneMinutes = static_cast<std::uint8_t>(offset % 60);
}

} // namespace locmail::msgstore
