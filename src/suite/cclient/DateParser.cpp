#include "suite/cclient/DateParser.h"

#include "suite/platform/Bounded.h"

#include <array>
#include <cstring>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

bool ParseDate(const char* text, DateFields& out)
{
    out = DateFields{};
    if (text == nullptr || *text == '\0')
        return false;
    std::array<char, kMaxDateText> buffer;
    if (CopyBounded(buffer, text) == CopyResult::Truncated)
        return false; // too long to be a date; c-client refuses it as well

    MESSAGECACHE element;
    std::memset(&element, 0, sizeof element);
    long parsed;
    {
        auto lock = detail::LockLibrary();
        parsed = mail_parse_date(&element, reinterpret_cast<unsigned char*>(buffer.data()));
    }
    out.day = element.day;
    out.month = element.month;
    out.year = element.year;
    out.hours = element.hours;
    out.minutes = element.minutes;
    out.seconds = element.seconds;
    out.zoneWest = element.zoccident;
    out.zoneHours = element.zhours;
    out.zoneMinutes = element.zminutes;
    return parsed != NIL;
}

} // namespace locmail::cclient
