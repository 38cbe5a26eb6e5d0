// ScriptFile: reading a user's filter file, "rules.sieve" in the home directory.
//
// Contract: ReadScriptFile reads a regular file of at most kMaxScriptBytes
// (also when it grows while being read) in one or a few reads. Links are followed (a user may keep the script
// elsewhere). Failure modes: the result says which step failed; TEXT is then
// empty.
#pragma once

#include <string>
#include <sys/stat.h>

namespace locmail::mailsort {

inline constexpr const char* kFilterFileName = "rules.sieve";

enum class ReadResult { Ok, OpenFailed, ReadFailed, TooLarge };

// INFO, when given, receives fstat of the file that was read.
ReadResult ReadScriptFile(const std::string& path, std::string& text, struct stat* info = nullptr);

} // namespace locmail::mailsort
