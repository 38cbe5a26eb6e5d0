// What the tests of the locmail command share: the real binary run against one
// temporary installation, its configuration, mailboxes read back through
// `locmail store`, the queue's channels and the agent's log.
#pragma once

#include "suite/mq/QueueListing.h"
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

// One command, with INPUT on standard input: the status it must exit with and texts its output must hold.
struct Step {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> says;
    std::string input = "";
};
void RunSteps(const Installation& inst, const std::vector<Step>& steps);

// Runs the command and fails the test (with its output) unless it exits 0.
void MustRun(const Installation& inst, const std::vector<std::string>& args, const std::string& input = "");

// Sets KEY=VALUE in the installation's qxmta.ini (the line must exist).
void SetConfig(const Installation& inst, const std::string& key, const std::string& value);
// Sets KEY=VALUE in SECTION, adding the line (and the section) when missing.
void SetConfig(const Installation& inst, const std::string& section, const std::string& key, const std::string& value);

// The home directory `user add` or `shared add` reported in OUTPUT ("..., home PATH").
std::string ReportedHome(const std::string& output);

// `store show ADDRESS FOLDER UID`: the text as filed, or "" when the command fails.
std::string Filed(const Installation& inst, const std::string& address, unsigned uid,
                  const std::string& folder = "inbox");

// The subjects of ADDRESS's inbox, from `store ls ADDRESS inbox`.
std::vector<std::string> InboxSubjects(const Installation& inst, const std::string& address);

// Committed entries that sit on CHANNEL, and the text of one entry.
std::vector<locmail::mq::ListedEntry> OnChannel(const Installation& inst, const std::string& channel);
std::string EntryText(const Installation& inst, uint32_t id);

// The log lines of MODULE as "LEVEL MODULE: TEXT" (time and pid cut off).
std::vector<std::string> LogLines(const Installation& inst, const std::string& module);
// How many of MODULE's log lines start with PREFIX.
long CountLogged(const Installation& inst, const std::string& module, const std::string& prefix);

} // namespace testsupport
