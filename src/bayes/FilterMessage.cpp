// CBayesianFilter::FilterMessage: the Bayesian step for one recipient. It
// decides whether the filter runs (settings, the user's choice, the white
// list), holds the home lock while it runs and while the user's action on the
// verdict is taken, and returns one result for the pipeline.
#include "bayes/CBayesianFilter.h"

#include "antispam/CAntiSpamConfig.h"

namespace {

// BayesianFilterAction codes of antispam.cfg.
constexpr int kActionDisable = 0;
constexpr int kActionDiscard = 1;
constexpr int kActionBounce = 2;
constexpr int kActionChangeSubject = 3;
constexpr int kActionSpamStatus = 4;
constexpr int kActionFile = 5;

} // namespace

int CBayesianFilter::FilterMessage(const char* sender, const char* recipient, const char* homeDir,
                                   const char* messagePath, const char* outputPath)
{
    if (m_userSettings == nullptr)
        return kBayNoUserSettings;
    if (m_userSettings->GetBayesianFilterAction() == kActionDisable)
        return kBayUserDisabled;
    if (m_userSettings->IsWhiteListed(sender))
        return kBayWhiteListed;
    if (!LockHomeDir(homeDir))
        return kBayLockFailed;
    const int verdict = Run(sender, recipient, homeDir, messagePath, outputPath);
    const int result = ActOnVerdict(verdict, sender, homeDir, messagePath, outputPath);
    UnlockHomeDir(homeDir);
    return result;
}

int CBayesianFilter::ActOnVerdict(int verdict, const char* sender, const char* homeDir, const char* messagePath,
                                  const char* outputPath)
{
    const int action = m_userSettings->GetBayesianFilterAction();
    auto done = [](bool ok, int result) { return ok ? result : kBayError; };
    switch (verdict) {
    case kRunSpam:
        switch (action) {
        case kActionDiscard:
            return kBayDiscarded;
        case kActionBounce:
            return done(BounceSpam(sender, messagePath), kBayBounced);
        case kActionChangeSubject:
            return done(ChangeSubject(messagePath, outputPath), kBayChanged);
        case kActionSpamStatus:
            return done(AddXHeader(messagePath, outputPath), kBayChanged);
        case kActionFile:
            return done(FileMessage(homeDir, messagePath, m_userSettings->GetUserSpamFolder()), kBayFiled);
        default:
            return kBayNothingToDo;
        }
    case kRunUndetermined:
        if (action != kActionFile)
            return kBayNothingToDo;
        return done(FileMessage(homeDir, messagePath, m_userSettings->GetUndeterminedFolder()), kBayFiled);
    case kRunError:
        return kBayError;
    case kRunNotUsable:
        return kBayNotUsable;
    default:
        return kBayNothingToDo;
    }
}
