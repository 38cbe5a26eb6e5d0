// The installation as the configuration file describes it, for the host's commands.
//
// Every value has a default that works out of the box, so a missing key is never an
// error; a missing file, or a value a key cannot take, is (LoadSettings).
#pragma once

#include <string>

namespace locmail::host {

struct Settings {
    std::string configFile;
    std::string queueDir;   // [Gateway] QueueDirectory
    std::string storeHome;  // [MsgStore] HomeDir
    std::string logDir;     // [Log] Directory
    int logLevel = 6;       // [Log] Level
    bool logToSyslog = false; // [Log] Syslog
};

// FILE as the profile functions take it: "qxmta.ini" is the configured file.
Settings ReadSettings(const std::string& file = "qxmta.ini");

// ReadSettings for a command that needs the configuration file: EX_OK, or
// EX_CONFIG after saying on standard error that the file is missing, cannot be
// read or holds a bad value (ConfigCheck.h). Keys and sections the system does
// not read are warned about, once per process.
int LoadSettings(Settings& out, const std::string& file = "qxmta.ini");

// Points the log at [Log] Directory, or at syslog when [Log] Syslog is YES;
// false (and a line on standard error) when it cannot.
bool OpenLog(const Settings& settings);

// "locmail: WHAT" on standard error.
void Complain(const std::string& what);

} // namespace locmail::host
