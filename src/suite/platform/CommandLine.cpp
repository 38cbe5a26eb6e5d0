// SplitCommandLine (declared in Process.h): the Windows C runtime's argument rules.
#include "suite/platform/Process.h"

#include <utility>

namespace locmail {

namespace {

bool IsArgumentBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && IsArgumentBlank(line[i]))
            ++i;
        if (i >= line.size())
            return args;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsArgumentBlank(line[i]))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else if (backslashes > 0) {
                arg.append(backslashes, '\\');
            } else {
                arg += line[i++];
            }
        }
        args.push_back(std::move(arg));
    }
}

} // namespace locmail
