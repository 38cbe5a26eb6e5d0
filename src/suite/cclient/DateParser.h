// Reading an RFC 822 date text (for example a Date header) with c-client's
// date parser, into the date fields of the message status record.
//
// Contract: ParseDate zeroes OUT, then fills it from c-client's mail_parse_date:
// day 1-31, month 1-12, year counted from 1970, time of day, and the zone as
// west-of-UTC flag, hours and minutes. Two-digit years are read as c-client
// reads them (99 as 1999, 26 as 2026); years before 1970 or after 2097 do not
// fit the record and are refused. The text is copied first because the parser
// may write to it.
//
// Failure modes: returns false for a null or empty text, one of 1024 characters
// or more (OUT stays all zero), and for text the parser rejects; then OUT holds
// what the parser had read before it gave up (all zero unless the date part was
// valid and the time was not). The status record copies the fields either way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace locmail::cclient {

inline constexpr std::size_t kMaxDateText = 1024;

struct DateFields {
    std::uint8_t day;
    std::uint8_t month;
    std::uint8_t year; // since 1970
    std::uint8_t hours;
    std::uint8_t minutes;
    std::uint8_t seconds;
    std::uint8_t zoneWest;
    std::uint8_t zoneHours;
    std::uint8_t zoneMinutes;
};

bool ParseDate(const char* text, DateFields& out);

} // namespace locmail::cclient
