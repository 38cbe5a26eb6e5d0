#include "suite/vexclass/HostName.h"

#include "suite/platform/ConfigKeys.h"

#include <unistd.h>

#include <array>

namespace locmail {

std::string LocalHostName()
{
    if (std::string configured = config::ReadText(config::kHostName); !configured.empty())
        return configured;
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name.data();
}

} // namespace locmail
