#include "suite/cclient/FlagParser.h"

#include <cstring>
#include <string>

#include "suite/cclient/CClientApi.h"

namespace locmail::cclient {

static_assert(kSeen == fSEEN && kDeleted == fDELETED && kFlagged == fFLAGGED && kAnswered == fANSWERED &&
              kOld == fOLD && kDraft == fDRAFT);

Flags ParseFlags(const char* list)
{
    Flags flags;
    if (list == nullptr || *list == '\0')
        return flags;
    std::string writable(list);

    // No driver, no keywords, no keyword creation: only system flags can match.
    MAILSTREAM stream;
    std::memset(&stream, 0, sizeof stream);
    unsigned long user = 0;
    long system;
    {
        auto lock = detail::LockLibrary();
        system = mail_parse_flags(&stream, writable.data(), &user);
    }
    flags.system = static_cast<std::uint32_t>(system);
    flags.user = static_cast<std::uint32_t>(user);
    return flags;
}

} // namespace locmail::cclient
