// CBayesianFilter: the Bayesian spam filter object. The agent embeds one, and
// the X Scanner derives from it to share the filing and bounce routines.
//
// Settings (BayesianSettings.cpp): section "BayesianFilter" of qxmta.ini.
// Type "EXE" (2) or "DLL" (1), anything else keeps the type (0: no filter).
// EXE reads CommandLine and ReturnCodeForHam/Spam/Undetermined/Error; DLL reads
// DllLocation and FunctionName; both read TimeOut (minutes of waiting for the
// home lock, 15), the four Add/Remove...MessageCommand keys, Enable ("YES"
// enables), ActionOnTrainedSpamMessage ("Move" moves, default "Delete") and
// ActionOnTrainedHamMessage (anything but "Delete" moves), and
// ProgramTimeOut: seconds an external program may run before it is killed
// (default 60). The learning pid file is [Gateway] QueueDirectory +
// "/bayesianlearn.pid". The plug-in library is loaded at construction; one
// that failed then is tried again at the first run.
// IsEnabled re-reads the settings while the filter is not enabled, so Enable
// changed to "YES" counts at the next delivery; once enabled nothing is re-read.
//
// Runs (RunFilter.cpp, RunProgram.cpp): Run gives 0 ham, 1 spam,
// 2 undetermined, 3 error, 4 no usable filter. The program is started without
// a shell: the template is split into arguments first and each placeholder's
// text goes verbatim into the argument it stands in (CommandLineTemplate.h).
//
// The step (FilterMessage.cpp, HomeLock.cpp): FilterMessage returns the codes
// 0 to 10 of the pipeline's table (kBay... below), holding "bayesian.lock" in
// the recipient's home while the filter runs and the action is taken.
//
// Filing and marking: FileMessage (filing/FileMessage.h), ChangeSubject and
// AddXHeader (rewrite/MessageRewrite.h; the subject from the recipient's
// GetSpamSubject), BounceSpam (BounceToSender with GetBounceReason).
// SetAntiSpamConfig: the recipient's settings for one delivery; not owned.
// Log(level, format, ...): one line of at most 8191 characters under
// "Bayesian filter", a level above 6 written as 6.
//
// Failure modes: nothing throws but std::bad_alloc; failures are results and
// log lines. One object per agent, one thread at a time.
#pragma once

#include "suite/platform/ConfigKeys.h"
#include "suite/platform/DynamicLibrary.h"

#include <string>

class CAntiSpamConfig;

namespace locmail::bayes {
struct ProgramCall;
}

class CBayesianFilter {
public:
    // FilterMessage results.
    enum : int {
        kBayNothingToDo = 0,
        kBayNotUsable = 1,
        kBayUserDisabled = 2,
        kBayBounced = 3,
        kBayDiscarded = 4,
        kBayFiled = 5,
        kBayChanged = 6,
        kBayError = 7,
        kBayNoUserSettings = 8,
        kBayLockFailed = 9,
        kBayWhiteListed = 10,
    };
    // Run results.
    enum : int { kRunHam = 0, kRunSpam = 1, kRunUndetermined = 2, kRunError = 3, kRunNotUsable = 4 };
    enum : int { kTypeNone = 0, kTypeDll = 1, kTypeExe = 2 };

    static constexpr int kDefaultTimeOutMinutes = locmail::config::kBayesTimeOut.fallback;
    static constexpr int kDefaultProgramTimeOutSeconds = locmail::config::kBayesProgramTimeOut.fallback;

    CBayesianFilter();
    virtual ~CBayesianFilter();
    CBayesianFilter(const CBayesianFilter&) = delete;
    CBayesianFilter& operator=(const CBayesianFilter&) = delete;

    void ReadSettings();
    bool IsEnabled();
    void SetAntiSpamConfig(CAntiSpamConfig* settings) { m_userSettings = settings; }

    // The Bayesian step for one recipient (all texts; OUTPUT receives a changed message).
    int FilterMessage(const char* sender, const char* recipient, const char* homeDir, const char* messagePath,
                      const char* outputPath);
    bool LockHomeDir(const char* homeDir);
    void UnlockHomeDir(const char* homeDir);
    bool IsLearnerRunning() const;

    int Run(const char* sender, const char* recipient, const char* homeDir, const char* messagePath,
            const char* outputPath);
    // -1 error, 0 ham, 1 spam, 2 undetermined.
    int RunPlugin(const char* sender, const char* recipient, const char* homeDir, const char* messagePath,
                  const char* outputPath);
    // 0 ham, 1 spam, 2 undetermined, 3 error, 4 no list matched.
    int RunProgram(const char* sender, const char* recipient, const char* homeDir, const char* messagePath,
                   const char* outputPath);
    // The program's exit code, or -1 when it could not be run or was killed at its time limit.
    int RunCommand(const locmail::bayes::ProgramCall& call, const char* messagePath);
    // 0 ham, 1 spam, 2 undetermined, 3 error, 4 in no list.
    int MapExitCode(int exitCode) const;

    // Virtual so that a test can see where the spam steps file and bounce.
    virtual bool FileMessage(const char* homeDir, const char* messagePath, const char* folderPath);
    bool ChangeSubject(const char* messagePath, const char* outputPath);
    bool AddXHeader(const char* messagePath, const char* outputPath);
    bool BounceSpam(const char* sender, const char* messagePath);
    virtual bool BounceToSender(const char* sender, const char* messagePath, const char* reason);

    // The length of the line as written (the formatted length, cut to the
    // buffer); -1 when the format fails.
    int Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    int GetType() const { return m_type; }
    int GetTimeOut() const { return m_timeOut; }
    // Seconds a program run may take (ProgramTimeOut, the default when not positive).
    int GetProgramTimeOut() const { return m_programTimeOut > 0 ? m_programTimeOut : kDefaultProgramTimeOutSeconds; }
    bool IsUsable() const { return m_usable; }
    const std::string& GetLearnPidPath() const { return m_learnPidPath; }
    const std::string& GetCommandLine() const { return m_commandLine; }
    const std::string& GetAddHamMessageCommand() const { return m_addHamMessageCommand; }
    const std::string& GetAddSpamMessageCommand() const { return m_addSpamMessageCommand; }
    const std::string& GetRemoveHamMessageCommand() const { return m_removeHamMessageCommand; }
    const std::string& GetRemoveSpamMessageCommand() const { return m_removeSpamMessageCommand; }
    bool MovesTrainedSpam() const { return m_moveTrainedSpam; }
    bool MovesTrainedHam() const { return m_moveTrainedHam; }

private:
    void Reset();
    void BuildLearnPidPath();
    void LoadPlugin();
    int ActOnVerdict(int runResult, const char* sender, const char* homeDir, const char* messagePath,
                     const char* outputPath);

protected:
    int m_type = kTypeNone;
    std::string m_dllLocation;
    std::string m_functionName;
    std::string m_commandLine;
    std::string m_returnCodeForHam;
    std::string m_returnCodeForSpam;
    std::string m_returnCodeForUndetermined;
    std::string m_returnCodeForError;
    int m_timeOut = kDefaultTimeOutMinutes;
    int m_programTimeOut = kDefaultProgramTimeOutSeconds;
    std::string m_addHamMessageCommand;
    std::string m_addSpamMessageCommand;
    std::string m_removeHamMessageCommand;
    std::string m_removeSpamMessageCommand;
    bool m_enabled = false;
    bool m_moveTrainedSpam = false;
    bool m_moveTrainedHam = true;
    std::string m_learnPidPath; // empty when [Gateway] QueueDirectory is set empty
    bool m_usable = false;
    locmail::DynamicLibrary m_library;
    CAntiSpamConfig* m_userSettings = nullptr;
};
