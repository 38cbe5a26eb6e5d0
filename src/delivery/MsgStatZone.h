// The time zone of a receipt time, as the message status record keeps it.
//
// Contract: ZoneFromTimes takes the local and the UTC broken-down time of the
// same instant and returns the offset of local time from UTC: west 1 for a zone
// behind UTC, then the absolute offset in hours and minutes. When the two
// times fall on different days (tm_yday d = local - UTC), a difference of 1, or
// a negative one other than -1 (local time already in the next year), puts
// local time a day ahead; any other difference puts it a day behind.
// Failure modes: none; a pure function, so tests can cross a New Year without
// touching the clock.
#pragma once

#include <cstdint>
#include <ctime>

namespace locmail::delivery {

struct ZoneFields {
    uint8_t west;
    uint8_t hours;
    uint8_t minutes;
};

ZoneFields ZoneFromTimes(const std::tm& local, const std::tm& utc);

} // namespace locmail::delivery
