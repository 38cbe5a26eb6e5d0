#include "host/Settings.h"

#include "host/ConfigCheck.h"
#include "suite/log/LogMessage.h"
#include "suite/platform/Config.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"

#include <strings.h>
#include <sysexits.h>

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
    s.logToSyslog = strcasecmp(config::ReadText(config::kLogSyslog, from).c_str(), "YES") == 0;
    return s;
}

int LoadSettings(Settings& out, const std::string& file)
{
    out = ReadSettings(file);
    if (!FileExists(out.configFile)) {
        Complain("no configuration file at " + out.configFile +
                 "; run `locmail init DIR` and set LOCMAIL_CONFIG or --config");
        return EX_CONFIG;
    }
    const ConfigReport report = CheckConfigFile(out.configFile);
    static bool warned = false;
    for (const std::string& warning : warned ? std::vector<std::string>() : report.warnings)
        Complain("warning: " + warning);
    warned = true;
    for (const std::string& error : report.errors)
        Complain(error);
    return report.errors.empty() ? EX_OK : EX_CONFIG;
}

bool OpenLog(const Settings& settings)
{
    if (settings.logToSyslog) {
        log::OpenSyslog(settings.logLevel);
        return true;
    }
    if (log::OpenLogFile(settings.logDir, settings.logLevel))
        return true;
    Complain("cannot open the log in " + settings.logDir + "; logging to standard error");
    log::SetThreshold(settings.logLevel);
    return false;
}

void Complain(const std::string& what) { std::cerr << "locmail: " << what << '\n'; }

} // namespace locmail::host
