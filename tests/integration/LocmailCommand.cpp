#include "integration/LocmailCommand.h"

#include "suite/platform/Process.h"

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

CommandResult RunLocmail(const std::vector<std::string>& args, const std::string& input)
{
    // The environment would win over --config; each test names its own installation.
    ::unsetenv("LOCMAIL_CONFIG");
    std::vector<std::string> argv{LOCMAIL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    auto process = locmail::Process::Start(argv);
    CommandResult result;
    if (!process.Started())
        throw std::runtime_error("cannot start " + argv[0] + ": " + process.StartErrorText());
    process.Communicate(input, result.output);
    result.exitCode = process.Wait();
    return result;
}

Installation::Installation() : dir_((temp_.path() / "inst").string())
{
    auto init = RunLocmail({"init", dir_});
    if (init.exitCode != 0)
        throw std::runtime_error("locmail init failed: " + init.output);
}

CommandResult Installation::Run(const std::vector<std::string>& args, const std::string& input) const
{
    std::vector<std::string> all{"--config", Config()};
    all.insert(all.end(), args.begin(), args.end());
    return RunLocmail(all, input);
}

} // namespace testsupport
