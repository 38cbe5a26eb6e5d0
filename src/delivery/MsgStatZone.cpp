#include "delivery/MsgStatZone.h"

namespace locmail::delivery {

namespace {

constexpr int kMinutesPerDay = 1440;

int MinuteOfDay(const std::tm& time) { return time.tm_hour * 60 + time.tm_min; }

} // namespace

ZoneFields ZoneFromTimes(const std::tm& local, const std::tm& utc)
{
    int offset = MinuteOfDay(local) - MinuteOfDay(utc);
    int dayDifference = local.tm_yday - utc.tm_yday;
    if (dayDifference == 1 || (dayDifference < 0 && dayDifference != -1))
        offset += kMinutesPerDay;
    else if (dayDifference != 0)
        offset -= kMinutesPerDay;

    ZoneFields zone{};
    if (offset < 0) {
        zone.west = 1;
        offset = -offset;
    }
    zone.hours = static_cast<uint8_t>(offset / 60);
    zone.minutes = static_cast<uint8_t>(offset % 60);
    return zone;
}

} // namespace locmail::delivery
