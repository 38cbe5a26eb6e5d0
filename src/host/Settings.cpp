#include "host/Settings.h"

#include "suite/log/LogMessage.h"
#include "suite/platform/Config.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"

#include <iostream>

namespace locmail::host {

Settings ReadSettings(const std::string& file)
{
    Settings s;
    s.configFile = file.find('/') == std::string::npos ? ConfigFilePath() : file;
    const char* from = file.c_str();
    s.queueDir = config::ReadText(config::kQueueDirectory, from);
    s.storeHome = config::ReadText(config::kStoreHome, from);
    s.logDir = config::ReadText(config::kLogDirectory, from);
    s.logLevel = static_cast<int>(config::ReadNumber(config::kLogLevel, from));
    if (FileExists(s.configFile) && !IsRegularFile(s.configFile))
        Complain(s.configFile + " is not a regular file; its settings are not read and the defaults apply");
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
