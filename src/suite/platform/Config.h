// Where the configuration file qxmta.ini lives.
//
// Contract: ConfigFilePath() is $LOCMAIL_CONFIG when set and not empty, else
// the path given to SetConfigOption (the command's --config), else
// kDefaultConfigPath. It is looked up on every call, so a change of either
// source takes effect at once. Both functions are thread-safe.
// Failure modes: none; whether the file exists is the reader's business.
#pragma once

#include <string>

namespace locmail {

inline constexpr const char* kDefaultConfigPath = "/etc/locmail/qxmta.ini";

// Records the --config option; an empty PATH clears it.
void SetConfigOption(std::string path);

std::string ConfigFilePath();

} // namespace locmail
