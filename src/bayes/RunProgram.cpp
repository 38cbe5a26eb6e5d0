// CBayesianFilter::RunCommand: the external filter program, started without a
// shell, fed the message when asked, its output read and dropped, its exit code
// returned. It runs at most ProgramTimeOut seconds: a program still running
// then is killed, so one message never holds up the queue for longer.
#include "bayes/CBayesianFilter.h"

#include "bayes/CommandLineTemplate.h"
#include "suite/platform/Files.h"
#include "suite/platform/Process.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// The failing steps, logged as "RunCommand - Catch error: %d".
constexpr int kStartFailed = -8;
constexpr int kMessageUnreadable = -13;
constexpr int kOutputFailed = -14;
constexpr int kNotRun = -1;

} // namespace

int CBayesianFilter::RunCommand(const locmail::bayes::ProgramCall& call, const char* messagePath)
{
    Log(6, "Executing cmdline :%s", call.commandLine.c_str());
    std::string message;
    if (call.messageOnInput && !locmail::ReadWholeFile(messagePath ? messagePath : "", message)) {
        Log(1, "RunCommand - Catch error: %d\n", kMessageUnreadable);
        Log(1, "RunCommand - Cannot read %s: %s", messagePath ? messagePath : "", std::strerror(errno));
        return kNotRun;
    }
    locmail::Process program = locmail::Process::Start(call.arguments);
    if (!program.Started()) {
        Log(1, "RunCommand - Catch error: %d\n", kStartFailed);
        Log(1, "RunCommand - Cannot start %s: %s", call.arguments.empty() ? "(no program)" : call.arguments[0].c_str(),
            program.StartErrorText().c_str());
        return kNotRun;
    }
    const int seconds = GetProgramTimeOut();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string dropped;
    const bool finished = program.CommunicateUntil(message, dropped, deadline, 0);
    if (!finished && errno != ETIMEDOUT) {
        Log(1, "RunCommand - Catch error: %d\n", kOutputFailed);
        return kNotRun;
    }
    if (!finished || !program.WaitUntil(deadline)) {
        program.Kill();
        Log(1, "RunCommand - %s did not end within %d seconds and was killed", call.arguments[0].c_str(), seconds);
        return kNotRun;
    }
    const int exitCode = program.Wait();
    Log(5, "ExitCode: %ld", static_cast<long>(exitCode));
    return exitCode;
}
