// Setting the date, time and zone fields of a message status record (_msgstat).
//
// Contract: SetStatusDate copies the nine date fields of a parsed date as they
// are. SetStatusLocalTime sets day (1-31), month (1-12), year (counted from
// 1970), hours, minutes and seconds from a broken-down local time; the zone
// and the other fields are left as they were.
// StampReceiptTime is the one receipt-time stamper, for the agent's loading,
// its own filing and the store's filing alike: it zeroes the record and sets
// the local time of NOW and that instant's zone, the offset from UTC the C
// library gives for it (tm_gmtoff, summer time included) in whole minutes, a
// negative offset setting west.
// Failure modes: none.
#pragma once

#include "suite/cclient/DateParser.h"
#include "suite/msgstore/Records.h"

#include <ctime>

namespace locmail::msgstore {

void SetStatusDate(_msgstat& record, const locmail::cclient::DateFields& date);
void SetStatusLocalTime(_msgstat& record, const std::tm& local);
void StampReceiptTime(_msgstat& record, std::time_t now = std::time(nullptr));

} // namespace locmail::msgstore
