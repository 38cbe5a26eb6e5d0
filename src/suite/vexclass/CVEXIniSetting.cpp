#include "suite/vexclass/CVEXIniSetting.h"

#include "suite/platform/ConfigKeys.h"
#include "suite/vexclass/HostName.h"


CVEXIniSetting::CVEXIniSetting() = default;

std::string CVEXIniSetting::GetPostmaster() const
{
    std::string value = locmail::config::ReadText(locmail::config::kPostmaster);
    if (!value.empty())
        return value;
    return "postmaster@" + locmail::LocalHostName();
}
