#include "integration/LocmailCommand.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace testsupport {
namespace {

std::vector<std::string> LocmailArgv(const std::vector<std::string>& args)
{
    // The environment would win over --config; each test names its own installation.
    ::unsetenv("LOCMAIL_CONFIG");
    std::vector<std::string> argv{LOCMAIL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::unique_ptr<TempDir> MakeTempDir(Medium medium)
{
    const char* memory = "/dev/shm";
    if (medium != Medium::Memory || ::access(memory, W_OK | X_OK) != 0)
        return std::make_unique<TempDir>();
    return std::make_unique<TempDir>(memory);
}

std::vector<std::string> WithConfig(const std::string& config, const std::vector<std::string>& args)
{
    std::vector<std::string> all{"--config", config};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

} // namespace

CommandResult RunProgram(const std::vector<std::string>& argv, const std::string& input)
{
    auto process = locmail::Process::Start(argv);
    if (!process.Started())
        return {-1, argv.at(0) + ": " + process.StartErrorText()};
    CommandResult result;
    process.Communicate(input, result.output);
    result.exitCode = process.Wait();
    return result;
}

CommandResult RunLocmail(const std::vector<std::string>& args, const std::string& input)
{
    return RunProgram(LocmailArgv(args), input);
}

Installation::Installation(Medium medium) : temp_(MakeTempDir(medium)), dir_((temp_->path() / "inst").string())
{
    auto init = RunLocmail({"init", dir_});
    if (init.exitCode != 0)
        throw std::runtime_error("locmail init failed: " + init.output);
}

CommandResult Installation::Run(const std::vector<std::string>& args, const std::string& input) const
{
    return RunLocmail(WithConfig(Config(), args), input);
}

locmail::Process Installation::Start(const std::vector<std::string>& args) const
{
    return locmail::Process::Start(LocmailArgv(WithConfig(Config(), args)));
}

} // namespace testsupport
