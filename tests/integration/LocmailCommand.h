// Runs the real locmail command against one temporary installation.
#pragma once

#include "support/TempDir.h"

#include <string>
#include <vector>

namespace testsupport {

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and error together
};

class Installation {
public:
    // Runs `locmail init` in a fresh temporary directory; throws when it fails.
    Installation();

    const std::string& Dir() const { return dir_; }
    std::string Config() const { return dir_ + "/qxmta.ini"; }
    std::string QueueDir() const { return dir_ + "/queue"; }
    std::string LogFile() const { return dir_ + "/log/locmail.log"; }

    // locmail --config CONFIG ARGS..., with INPUT on standard input.
    CommandResult Run(const std::vector<std::string>& args, const std::string& input = "") const;

private:
    TempDir temp_;
    std::string dir_;
};

CommandResult RunLocmail(const std::vector<std::string>& args, const std::string& input = "");

} // namespace testsupport
