// The configuration file read strictly, before a command acts on it.
//
// The readers of the suite take any value (a key they cannot use falls back to
// its default, or acts as the nearest choice), so a typing slip in the file
// would change what the system does without a word. The commands check the
// file first instead: every key this system reads has a kind (an absolute
// path, a whole number, one of a few words, a mailbox, free text), and a value
// that is not of its kind is an error naming the file, the line, the key and
// what it allows. A section or key this system does not read is worth a
// warning (a misspelt name is silently a default): one line each. So is a
// file that names no directory (no [Ldap] HostName or LdifFile): the X
// Scanner then fails to reach it for every delivery to a user.
// Failure modes: a file that cannot be read (missing, a directory or FIFO,
// no permission) is one error. Nothing throws except std::bad_alloc.
#pragma once

#include <string>
#include <vector>

namespace locmail::host {

struct ConfigReport {
    std::vector<std::string> errors;   // "FILE:LINE: [Section] Key=value: why; allowed: ..."
    std::vector<std::string> warnings; // unknown sections and keys
};

ConfigReport CheckConfigFile(const std::string& path);

} // namespace locmail::host
