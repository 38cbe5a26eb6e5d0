#include "filing/ReceiptTime.h"

#include "suite/msgstore/StatusDate.h"

#include <cstring>

namespace locmail::filing {

Zone ZoneOf(const std::tm& local, const std::tm& utc)
{
    constexpr int kMinutesPerDay = 24 * 60;
    int offset = (local.tm_hour * 60 + local.tm_min) - (utc.tm_hour * 60 + utc.tm_min);
    const int days = local.tm_yday - utc.tm_yday;
    if (days == 1 || (days < 0 && days != -1))
        offset += kMinutesPerDay;
    else if (days != 0)
        offset -= kMinutesPerDay;
    Zone zone;
    if (offset < 0) {
        zone.west = 1;
        offset = -offset;
    }
    zone.hours = static_cast<std::uint8_t>(offset / 60);
    zone.minutes = static_cast<std::uint8_t>(offset % 60);
    return zone;
}

void StampReceiptTime(_msgstat& record)
{
    std::memset(&record, 0, sizeof record);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    std::tm utc{};
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    locmail::msgstore::SetStatusLocalTime(record, local);
    const Zone zone = ZoneOf(local, utc);
    record.zoneWest = zone.west;
    record.zoneHours = zone.hours;
    record.zoneMinutes = zone.minutes;
}

} // namespace locmail::filing
