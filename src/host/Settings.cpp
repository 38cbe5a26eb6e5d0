#include "host/Settings.h"

#include "suite/log/LogMessage.h"
#include "suite/platform/Config.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"

#include <iostream>

namespace locmail::host {
namespace {

std::string ReadString(const char* section, const char* key, const char* def, const std::string& file)
{
    char value[1024];
    GetPrivateProfileStringA(section, key, def, value, sizeof value, file.c_str());
    return value;
}

} // namespace

Settings ReadSettings(const std::string& file)
{
    Settings s;
    s.configFile = file.find('/') == std::string::npos ? ConfigFilePath() : file;
    s.queueDir = ReadString("Gateway", "QueueDirectory", "/var/spool/locmail", file);
    s.storeHome = ReadString("MsgStore", "HomeDir", "", file);
    s.logDir = ReadString("Log", "Directory", "/var/log/locmail", file);
    s.logLevel = static_cast<int>(GetPrivateProfileIntA("Log", "Level", 6, file.c_str()));
    return s;
}

bool OpenLog(const Settings& settings)
{
    if (log::OpenLogFile(settings.logDir, settings.logLevel))
        return true;
    Complain("cannot open the log in " + settings.logDir + "; logging to standard error");
    log::SetThreshold(settings.logLevel);
    return false;
}

void Complain(const std::string& what) { std::cerr << "locmail: " << what << '\n'; }

} // namespace locmail::host
