// SieveParser: a filter file's text to a checked Script.
//
// Contract: accepts RFC 5228 with the extensions fileinto, copy (RFC 3894),
// reject (RFC 5429), envelope and vacation (RFC 5230); the comparators
// i;ascii-casemap and i;octet. Every command's arguments are checked here
// (extensions required before use, folder and argument lengths, redirect
// addresses through c-client's address parser), so evaluation cannot fail on
// them. The whole text must be at most kMaxScriptBytes.
// Failure modes: throws ScriptError with line and column for any text that is
// not such a script or passes a limit of SieveLimits.h: the first one found.
// The second form throws nothing: it reads on after each error (to the end of
// the broken command) and gives every error it found, in the order found, at
// most kMaxReportedErrors; the script is usable only when none was found.
#pragma once

#include "suite/mailsort/SieveScript.h"

#include "suite/mailsort/ScriptError.h"

#include <string_view>
#include <vector>

namespace locmail::mailsort {

Script ParseScript(std::string_view text);
Script ParseScript(std::string_view text, std::vector<ScriptError>& errors);

} // namespace locmail::mailsort
