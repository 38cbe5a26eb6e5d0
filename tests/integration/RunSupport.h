// What the `locmail run` tests share: the configuration, mailboxes read back
// through `locmail store`, the queue's channels and the agent's log.
#pragma once

#include "integration/LocmailCommand.h"
#include "suite/mq/QueueListing.h"

#include <string>
#include <vector>

namespace testsupport {

// Runs the command and fails the test (with its output) unless it exits 0.
void MustRun(const Installation& inst, const std::vector<std::string>& args, const std::string& input = "");

// Sets KEY=VALUE in the installation's qxmta.ini (the line must exist).
void SetConfig(const Installation& inst, const std::string& key, const std::string& value);
// Sets KEY=VALUE in SECTION, adding the line (and the section) when missing.
void SetConfig(const Installation& inst, const std::string& section, const std::string& key,
               const std::string& value);

// The home directory `user add` or `shared add` reported in OUTPUT ("..., home PATH").
std::string ReportedHome(const std::string& output);

// `store show ADDRESS inbox UID`: the text as filed, or "" when the command fails.
std::string Filed(const Installation& inst, const std::string& address, unsigned uid);

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
