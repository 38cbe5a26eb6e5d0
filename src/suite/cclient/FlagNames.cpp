#include "suite/cclient/FlagNames.h"

#include "suite/cclient/FlagParser.h"

#include <utility>

namespace locmail::cclient {

std::vector<std::string_view> SystemFlagNames(std::uint32_t system)
{
    static constexpr std::pair<std::uint32_t, std::string_view> kNames[] = {{kSeen, "\\Seen"},
                                                                            {kAnswered, "\\Answered"},
                                                                            {kFlagged, "\\Flagged"},
                                                                            {kDeleted, "\\Deleted"},
                                                                            {kDraft, "\\Draft"}};
    std::vector<std::string_view> names;
    for (const auto& [bit, name] : kNames)
        if (system & bit)
            names.push_back(name);
    return names;
}

} // namespace locmail::cclient
