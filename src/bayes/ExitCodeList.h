// Whether an exit code is in one of the ReturnCodeFor... lists: decimal items
// separated by commas, each read as atoi reads it (leading blanks skipped,
// reading stops at the first non-digit, an empty item is 0). The walk stops
// at the end of the text or when nothing follows a comma, so "1," holds only 1
// while "1,,2" holds 1, 0 and 2. An empty list holds nothing.
#pragma once

#include <string>

namespace locmail::bayes {

bool ExitCodeListContains(const std::string& list, int exitCode);

} // namespace locmail::bayes
