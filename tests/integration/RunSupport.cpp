#include "integration/RunSupport.h"

#include "suite/mq/EntryId.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

// locmail [--config CONFIG] ARGS...: the environment would win over --config, and each test names its own installation.
std::vector<std::string> LocmailArgv(const std::vector<std::string>& args, const std::string& config = "")
{
    ::unsetenv("LOCMAIL_CONFIG");
    std::vector<std::string> argv{LOCMAIL_BINARY};
    if (!config.empty())
        argv.insert(argv.end(), {"--config", config});
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
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

Installation::Installation(Medium medium)
    : temp_(medium == Medium::Memory && ::access("/dev/shm", W_OK | X_OK) == 0 ? std::make_unique<TempDir>("/dev/shm")
                                                                               : std::make_unique<TempDir>()),
      dir_((temp_->path() / "inst").string())
{
    auto init = RunLocmail({"init", dir_});
    if (init.exitCode != 0)
        throw std::runtime_error("locmail init failed: " + init.output);
}

CommandResult Installation::Run(const std::vector<std::string>& args, const std::string& input) const
{
    return RunProgram(LocmailArgv(args, Config()), input);
}

locmail::Process Installation::Start(const std::vector<std::string>& args) const
{
    return locmail::Process::Start(LocmailArgv(args, Config()));
}

void RunSteps(const Installation& inst, const std::vector<Step>& steps)
{
    for (const auto& step : steps) {
        auto run = inst.Run(step.args, step.input);
        EXPECT_EQ(run.exitCode, step.status) << step.args[0] << " " << step.args[1] << ": " << run.output;
        for (const auto& text : step.says)
            EXPECT_NE(run.output.find(text), std::string::npos) << text << " not in: " << run.output;
    }
}

void MustRun(const Installation& inst, const std::vector<std::string>& args, const std::string& input)
{
    auto run = inst.Run(args, input);
    ASSERT_EQ(run.exitCode, 0) << args.front() << ": " << run.output;
}

void SetConfig(const Installation& inst, const std::string& key, const std::string& value)
{
    std::string text = ReadFile(inst.Config());
    std::size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        throw std::runtime_error(key + " is not in " + inst.Config());
    std::size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, key + "=" + value);
    WriteFile(inst.Config(), text);
}

void SetConfig(const Installation& inst, const std::string& section, const std::string& key, const std::string& value)
{
    std::string text = ReadFile(inst.Config());
    if (text.find("\n" + key + "=") != std::string::npos)
        return SetConfig(inst, key, value);
    const std::string header = "[" + section + "]\n";
    std::size_t at = text.find(header);
    if (at == std::string::npos)
        text += (text.ends_with("\n") ? "" : "\n") + header + key + "=" + value + "\n";
    else
        text.insert(at + header.size(), key + "=" + value + "\n");
    WriteFile(inst.Config(), text);
}

std::string ReportedHome(const std::string& output)
{
    const auto at = output.find(", home ");
    return at == std::string::npos ? "" : output.substr(at + 7, output.find_first_of(" ;\n", at + 7) - at - 7);
}

std::string Filed(const Installation& inst, const std::string& address, unsigned uid, const std::string& folder)
{
    auto run = inst.Run({"store", "show", address, folder, std::to_string(uid)});
    return run.exitCode == 0 ? run.output : "";
}

std::vector<std::string> InboxSubjects(const Installation& inst, const std::string& address)
{
    auto run = inst.Run({"store", "ls", address, "inbox"});
    std::vector<std::string> subjects;
    std::istringstream lines(run.output);
    std::string line;
    std::getline(lines, line); // the heading
    while (std::getline(lines, line)) {
        std::size_t last = line.find_last_of(' ');
        if (line.empty() || line.find(" message(s) in ") != std::string::npos || last == std::string::npos)
            continue;
        subjects.push_back(line.substr(last + 1));
    }
    return subjects;
}

std::vector<locmail::mq::ListedEntry> OnChannel(const Installation& inst, const std::string& channel)
{
    std::vector<locmail::mq::ListedEntry> found;
    for (auto& entry : locmail::mq::ListEntries(inst.QueueDir()).entries) {
        if (std::find(entry.channels.begin(), entry.channels.end(), channel) != entry.channels.end())
            found.push_back(entry);
    }
    return found;
}

std::string EntryText(const Installation& inst, uint32_t id)
{
    return ReadFile(inst.QueueDir() + "/entries/" + locmail::mq::EntryName(id) + ".msg");
}

std::vector<std::string> LogLines(const Installation& inst, const std::string& module)
{
    std::vector<std::string> out;
    std::istringstream lines(ReadFile(inst.LogFile()));
    std::string line;
    const std::string tag = " " + module + ": ";
    while (std::getline(lines, line)) {
        // "DATE TIME PID LEVEL MODULE: TEXT"
        std::size_t at = line.find(tag);
        std::size_t pidEnd = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
        if (at != std::string::npos && pidEnd != std::string::npos && pidEnd < at)
            out.push_back(line.substr(pidEnd + 1));
    }
    return out;
}

long CountLogged(const Installation& inst, const std::string& module, const std::string& prefix)
{
    auto lines = LogLines(inst, module);
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

} // namespace testsupport
