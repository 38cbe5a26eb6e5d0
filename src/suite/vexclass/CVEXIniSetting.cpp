#include "suite/vexclass/CVEXIniSetting.h"

#include "suite/platform/Profile.h"
#include "suite/vexclass/HostName.h"

#include <array>

CVEXIniSetting::CVEXIniSetting() = default;

std::string CVEXIniSetting::GetPostmaster() const
{
    std::array<char, 512> value{};
    GetPrivateProfileStringA("Mail", "Postmaster", "", value.data(), value.size(), "qxmta.ini");
    if (value[0] != '\0')
        return value.data();
    return "postmaster@" + locmail::LocalHostName();
}
