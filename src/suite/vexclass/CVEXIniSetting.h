// CVEXIniSetting: the suite-wide settings that the shared classes read.
#pragma once

#include "suite/platform/Export.h"

#include <string>

class LOCMAIL_EXPORT CVEXIniSetting {
public:
    CVEXIniSetting();
    // [Mail] Postmaster of qxmta.ini; "postmaster@" and the host name when unset.
    std::string GetPostmaster() const;
};
