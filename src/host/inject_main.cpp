// locmail-inject: `locmail inject` as a small program of its own, for a mail
// server that starts one process per message. It links only what queueing
// needs (no message parser, no TLS or Kerberos libraries behind it), so it
// starts in a fraction of the full command's time.
//
//   locmail-inject [--config FILE] -f SENDER RCPT...
//
// Exit codes as `locmail inject`; a malformed command line is 75, since the
// mail server would otherwise return the message for the operator's slip.
#include "host/Commands.h"
#include "host/Settings.h"
#include "suite/platform/Config.h"

#include <sysexits.h>

#include <string_view>

namespace {

// Fills OPTIONS from ARGV; false (with a complaint) when it does not parse.
bool ParseArguments(int argc, char** argv, locmail::host::InjectOptions& options)
{
    bool haveSender = false;
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if ((arg == "--config" || arg == "-f") && i + 1 < argc) {
            if (arg == "-f") {
                options.sender = argv[++i];
                haveSender = true;
            }
            else {
                locmail::SetConfigOption(argv[++i]);
            }
        }
        else if (arg == "--") {
            ++i;
            break;
        }
        else if (arg.starts_with("-")) {
            locmail::host::Complain("unknown or incomplete option '" + std::string(arg) + "'");
            return false;
        }
        else {
            break;
        }
    }
    for (; i < argc; ++i)
        options.recipients.emplace_back(argv[i]);
    if (!haveSender || options.recipients.empty()) {
        locmail::host::Complain("usage: locmail-inject [--config FILE] -f SENDER RCPT...");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    locmail::host::InjectOptions options;
    if (!ParseArguments(argc, argv, options))
        return EX_TEMPFAIL;
    return locmail::host::RunInject(options);
}
