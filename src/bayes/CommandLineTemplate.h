// The external filter's command line, built from the CommandLine template.
//
// Placeholders: %F/%f sender, %R/%r recipient, %B/%b Bayesian data path,
// %M message file (upper case only), %O/%o output file. Any other '%' is
// copied with the character after it, which is then read as text ("%%F" is
// '%' and the sender). Texts go in unchanged, with no quoting added.
//
// BuildCommandLine gives the whole line as text (for the log). BuildProgramCall
// gives what is started: leading blanks are skipped; a leading '|' (then any
// blanks) asks for the message on standard input; the rest is split into
// arguments by the Windows runtime's rules (platform/Process.h) BEFORE the
// placeholders are filled in, so an address with blanks, quotes or shell
// characters stays inside the one argument its placeholder stood in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace locmail::bayes {

struct PlaceholderTexts {
    const char* sender;
    const char* recipient;
    const char* dataPath;
    const char* messagePath;
    const char* outputPath;
};

std::string BuildCommandLine(std::string_view pattern, const PlaceholderTexts& texts);

struct ProgramCall {
    std::string commandLine; // the whole line, placeholders filled in
    std::vector<std::string> arguments;
    bool messageOnInput = false;
};

ProgramCall BuildProgramCall(std::string_view pattern, const PlaceholderTexts& texts);

} // namespace locmail::bayes
