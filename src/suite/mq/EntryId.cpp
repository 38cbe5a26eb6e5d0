#include "suite/mq/EntryId.h"

#include <cstdio>

namespace locmail::mq {

std::string EntryName(uint32_t id)
{
    char name[9];
    std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(id));
    return name;
}

std::optional<uint32_t> ParseEntryName(std::string_view name, std::string_view ext)
{
    if (name.size() != 8 + ext.size() || name.substr(8) != ext)
        return std::nullopt;
    uint32_t id = 0;
    for (char c : name.substr(0, 8)) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        id = id * 16 + static_cast<uint32_t>(digit);
    }
    if (!IsValidEntryId(id))
        return std::nullopt;
    return id;
}

} // namespace locmail::mq
