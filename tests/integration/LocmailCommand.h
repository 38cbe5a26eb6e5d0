// Runs the real locmail command against one temporary installation.
#pragma once

#include "suite/platform/Process.h"
#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and error together
};

// Where an installation lives: under $TMPDIR, or on a memory file system
// (/dev/shm, when there is one) for tests that run thousands of commands whose
// fsyncs would otherwise measure only the disk.
enum class Medium { TempDir, Memory };

class Installation {
public:
    // Runs `locmail init` in a fresh temporary directory; throws when it fails.
    explicit Installation(Medium medium = Medium::TempDir);

    const std::string& Dir() const { return dir_; }
    std::string Config() const { return dir_ + "/qxmta.ini"; }
    std::string QueueDir() const { return dir_ + "/queue"; }
    std::string LogFile() const { return dir_ + "/log/locmail.log"; }

    // locmail --config CONFIG ARGS..., with INPUT on standard input.
    CommandResult Run(const std::vector<std::string>& args, const std::string& input = "") const;
    // The same, started and left to the caller.
    locmail::Process Start(const std::vector<std::string>& args) const;

private:
    std::unique_ptr<TempDir> temp_;
    std::string dir_;
};

CommandResult RunLocmail(const std::vector<std::string>& args, const std::string& input = "");
// ARGV run to its end with INPUT; exit code -1, and why as the output, when it cannot start.
CommandResult RunProgram(const std::vector<std::string>& argv, const std::string& input = "");

} // namespace testsupport
