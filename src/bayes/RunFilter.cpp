// CBayesianFilter: classifying one message with the plug-in function or the
// external program, and reducing every outcome to the five run results.
#include "bayes/CBayesianFilter.h"

#include "bayes/CommandLineTemplate.h"
#include "bayes/ExitCodeList.h"
#include "suite/platform/Files.h"

namespace {

constexpr const char* kDataFolder = ".bayesian";

// The plug-in's classification function: sender, recipient, data path,
// message file, output file; 0 ham, 1 spam, 2 undetermined.
using PluginFunction = int(const char*, const char*, const char*, const char*, const char*);

std::string DataPath(const char* homeDir) { return locmail::PathJoin(homeDir ? homeDir : "", kDataFolder); }

} // namespace

int CBayesianFilter::Run(const char* sender, const char* recipient, const char* homeDir, const char* messagePath,
                         const char* outputPath)
{
    if (!m_usable && m_type == kTypeDll)
        LoadPlugin();
    if (!m_usable)
        return kRunNotUsable;
    if (m_type == kTypeDll) {
        Log(5, "Using DLL");
        const int verdict = RunPlugin(sender, recipient, homeDir, messagePath, outputPath);
        return verdict < 0 ? kRunError : verdict;
    }
    if (m_type == kTypeExe) {
        Log(5, "Using EXE");
        const int verdict = RunProgram(sender, recipient, homeDir, messagePath, outputPath);
        return verdict == 4 ? kRunHam : verdict;
    }
    return kRunHam;
}

int CBayesianFilter::RunPlugin(const char* sender, const char* recipient, const char* homeDir,
                               const char* messagePath, const char* outputPath)
{
    auto* classify = m_library.Function<PluginFunction>(m_functionName.c_str());
    if (classify == nullptr) {
        Log(1, "Bayesian filter function %s not found in %s", m_functionName.c_str(), m_dllLocation.c_str());
        return -1;
    }
    const std::string dataPath = DataPath(homeDir);
    const int verdict = classify(sender, recipient, dataPath.c_str(), messagePath, outputPath);
    Log(5, "Bayesian filter DLL return code: %d", verdict);
    return verdict >= kRunHam && verdict <= kRunUndetermined ? verdict : -1;
}

int CBayesianFilter::RunProgram(const char* sender, const char* recipient, const char* homeDir,
                                const char* messagePath, const char* outputPath)
{
    if (m_commandLine.empty()) {
        Log(1, "RunProgram - No CommandLine in section BayesianFilter of qxmta.ini");
        return kRunError;
    }
    const std::string dataPath = DataPath(homeDir);
    const locmail::bayes::ProgramCall call =
        locmail::bayes::BuildProgramCall(m_commandLine, {sender, recipient, dataPath.c_str(), messagePath, outputPath});
    return MapExitCode(RunCommand(call, messagePath));
}

int CBayesianFilter::MapExitCode(int exitCode) const
{
    using locmail::bayes::ExitCodeListContains;
    if (ExitCodeListContains(m_returnCodeForHam, exitCode))
        return kRunHam;
    if (ExitCodeListContains(m_returnCodeForSpam, exitCode))
        return kRunSpam;
    if (ExitCodeListContains(m_returnCodeForUndetermined, exitCode))
        return kRunUndetermined;
    if (ExitCodeListContains(m_returnCodeForError, exitCode))
        return kRunError;
    return 4;
}
