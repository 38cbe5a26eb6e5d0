#include "suite/vexclass/HostName.h"

#include <unistd.h>

#include <array>

namespace locmail {

std::string LocalHostName()
{
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name.data();
}

} // namespace locmail
