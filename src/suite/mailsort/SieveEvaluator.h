// SieveEvaluator: runs a parsed filter file against one message.
//
// Contract: the commands run in order until the end or a stop; tests read the
// message through MessageView (header values with RFC 2047 words decoded;
// addresses through c-client's address parser). Folders named with the prefix
// kSharedFolderPrefix ("shared:MAILBOX/FOLDER") go to sharedFolders. Work is
// proportional to the script times the header; no test is evaluated twice.
// Failure modes: throws ScriptError (line and column 0) for the run-time
// conflicts RFC 5429 and 5230 forbid: reject together with keep, fileinto,
// redirect or vacation; a second reject; a second vacation.
#pragma once

#include "suite/mailsort/MessageView.h"
#include "suite/mailsort/Outcome.h"
#include "suite/mailsort/SieveScript.h"

namespace locmail::mailsort {

// A fileinto folder beginning with this names a shared mailbox and, after a
// '/', its folder.
inline constexpr std::string_view kSharedFolderPrefix = "shared:";

Outcome Evaluate(const Script& script, const MessageView& message);

} // namespace locmail::mailsort
