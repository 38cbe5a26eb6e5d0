// The receipt time of a message filed by the agent itself: the date, time and
// zone fields of its status record, taken from the current time the same way
// the agent stamps the messages it loads from the queue.
//
// Contract: StampReceiptTime zeroes the record and fills day (1-31), month
// (1-12), year (since 1970), hours, minutes and seconds from the local time of
// one reading of the clock, and the zone from that instant's local and UTC
// times (ZoneOf). ZoneOf is the pure part: the local minutes of the day minus
// the UTC ones, a day added when local time is already on the next day
// (day-of-year difference 1, or a negative one other than -1 at New Year) and
// taken away when it is on the day before; a negative offset sets west.
// Failure modes: none.
#pragma once

#include "suite/msgstore/Records.h"

#include <ctime>

namespace locmail::filing {

struct Zone {
    std::uint8_t west = 0;
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
};

Zone ZoneOf(const std::tm& local, const std::tm& utc);
void StampReceiptTime(_msgstat& record);

} // namespace locmail::filing
