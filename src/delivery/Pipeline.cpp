// Routing a recipient to its shared mailbox or through the per-user pipeline,
// and the default delivery into "inbox". Store failures leave as
// CMsgStoreException for the queue walk to handle.
#include "delivery/CLocalMail.h"

#include "antispam/CAntiSpamConfig.h"
#include "delivery/StatusCodes.h"
#include "suite/mailsort/CMailsort.h"
#include "suite/mq/Envelope.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/msgstore/StoreCodes.h"
#include "suite/platform/ProfileCache.h"
#include "suite/util/TempFileName.h"
#include "suite/vexclass/CMimeMsg.h"
#include "suite/vexclass/CVEXIniSetting.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr int kHomeDirSize = 1024;

char emptyText[] = "";

// The sender record of mail returned by the pipeline itself: the sender's
// address, empty texts, zero numbers.
std::unique_ptr<_envFrom> NewSenderRecord(char* address)
{
    return std::unique_ptr<_envFrom>(new (std::nothrow) _envFrom{address, emptyText, 0, 0, emptyText, emptyText});
}

constexpr const char* kLockFailureSubject = "Unable to lock the home directory while running Bayesian filter";

std::string LockFailureText(const char* recipient)
{
    return std::string("The system was unable to lock the home directory for user: ") + recipient +
           "\r\nwhile running the Bayesian filter. Please manually remove the stale\r\n"
           "bayesian.lock file in the user's home directory and restart\r\n"
           "local mail delivery module afterward. If the problem still persists,\r\n"
           "please contact VEX Technical Support for assistance\r\n";
}

// Runs F when the scope is left, also by an exception.
template <class F>
class AtScopeExit {
public:
    explicit AtScopeExit(F f) : f_(std::move(f)) {}
    ~AtScopeExit() { f_(); }
    AtScopeExit(const AtScopeExit&) = delete;
    AtScopeExit& operator=(const AtScopeExit&) = delete;

private:
    F f_;
};

struct TempFileRelease {
    void operator()(char* name) const noexcept { MimeFreeFile(name); }
};
using TempFile = std::unique_ptr<char, TempFileRelease>;

} // namespace

void CLocalMail::DeliverToMsgStore(const char* path)
{
    if (m_msgStore.IsShared())
        DeliverToShared();
    else
        DeliverToUser(path);
}

void CLocalMail::DeliverToShared()
{
    PrintLogMessage(5, "Delivering message to shared mailbox <%s>", m_recipient);
    m_msgStore.AddSharedMsg(m_recipient, m_msgBody.get(), m_msgEnv.get(), &m_msgStat, m_msgBuffer.get(), m_bufferLen,
                            "", false);
    PrintLogMessage(5, "Message delivered successfully");
}

void CLocalMail::DefaultDelivery()
{
    m_msgStore.AddUserMsg(m_recipient, m_msgBody.get(), m_msgEnv.get(), &m_msgStat, m_msgBuffer.get(), m_bufferLen,
                          "inbox", false, false);
}

void CLocalMail::DeliverToUser(const char* path)
{
    PrintLogMessage(5, "Delivering message to user <%s>", m_recipient);
    // One version of the settings serves the whole delivery, checked once instead of once a key.
    locmail::ProfileReadScope settingsOfThisDelivery;

    bool mayLogin = true;
    bool mayReceive = true;
    m_msgStore.GetUserPermission(mayLogin, mayReceive);
    if (!mayReceive) {
        SetLastError(locmail::delivery::kStatusMayNotReceive);
        PrintLogMessage(2, "User not allowed to receive mail at this time, bouncing message to sender....");
        std::unique_ptr<_envFrom> sender = NewSenderRecord(m_sender);
        if (!sender) {
            PrintLogMessage(2, "Out of memory. Unable to bounce the message at this time..");
            return;
        }
        DeliverToSender(sender.get());
        LogRecipientOutcome(locmail::delivery::Outcome::Returned, "the user may not receive mail at this time");
        return;
    }

    CMailsort rules(m_msgStore, GetModuleName());

    char homeDir[kHomeDirSize] = {};
    m_msgStore.GetUserHomeDir(homeDir);
    homeDir[kHomeDirSize - 1] = '\0';
    PrintLogMessage(5, "Home directory for <%s> is <%s>", m_recipient, homeDir);

    // Read afresh for every user delivery, and released on every way out of it.
    CAntiSpamConfig antiSpam(homeDir);

    if (m_xScanner) {
        PrintLogMessage(5, "Running Xscanner");
        m_xScanner->SetAntiSpamConfig(&antiSpam);
        m_xScanner->LoadRblSettings();
        const int result = m_xScanner->Scan(m_sender, homeDir, path);
        m_xScanner->SetAntiSpamConfig(nullptr); // the settings end with this delivery
        if (!ActOnXScannerResult(result))
            return;
    }

    // A changed message swapped in below serves this recipient only, whichever way the delivery ends.
    m_baySwapped = false;
    AtScopeExit restore([this] {
        if (m_baySwapped) {
            UnSwapBay();
            DeinitBayMsg();
        }
    });
    if (!m_bayesFilter.IsEnabled()) {
        PrintLogMessage(5, "Bayesian Filter is not enabled");
    } else {
        PrintLogMessage(5, "Running Bayesian filter");
        TempFile changed(VEXGetTempFileName(nullptr, "lmda"));
        m_bayesFilter.SetAntiSpamConfig(&antiSpam);
        const int result = m_bayesFilter.FilterMessage(m_sender, m_recipient, homeDir, path, changed.get());
        m_bayesFilter.SetAntiSpamConfig(nullptr);
        if (!ActOnBayesianResult(result, changed.get()))
            return;
    }

    // The recipient's profile is selected already: no second selection.
    if (rules.IsFilterFileExist(nullptr, false)) {
        if (!MailSortDelivery()) {
            PrintLogMessage(5, "Using default delivery....");
            DefaultDelivery();
        }
    } else {
        DefaultDelivery();
    }

    PrintLogMessage(5, "Message delivered successfully");
}

bool CLocalMail::ActOnXScannerResult(int result)
{
    switch (result) {
    case CXScanner::kXIgnored:
        PrintLogMessage(6, "X Scanner has been disabled for user <%s>", m_recipient);
        return true;
    case CXScanner::kXDiscarded:
        PrintLogMessage(6, "The message has been discarded by X Scanner");
        LogRecipientOutcome(locmail::delivery::Outcome::Discarded, "spam, discarded by the X Scanner");
        return false;
    case CXScanner::kXFiled:
        PrintLogMessage(6, "The message has been filed to the user's system spam message folder");
        return false;
    case CXScanner::kXError: PrintLogMessage(6, "An error has occurred while running the X Scanner"); return true;
    case CXScanner::kXNoSettings:
        PrintLogMessage(6, "No configuration parameter has been set for X Scanner");
        return true;
    case CXScanner::kXBounced:
        PrintLogMessage(6, "The message has been bounced");
        LogRecipientOutcome(locmail::delivery::Outcome::Returned, "spam, bounced by the X Scanner");
        return false;
    case CXScanner::kXWhiteListed: PrintLogMessage(6, "By passed X scanner - Matched WhiteList"); return true;
    case CXScanner::kXIPWhiteListed:
        PrintLogMessage(6, "By passed X scanner - Matched IP address WhiteList");
        return true;
    default: return true;
    }
}

bool CLocalMail::ActOnBayesianResult(int result, const char* changedPath)
{
    switch (result) {
    case CBayesianFilter::kBayNotUsable:
        PrintLogMessage(6, "Bayesian Filter was not configured");
        return true;
    case CBayesianFilter::kBayUserDisabled:
        PrintLogMessage(6, "By passed Bayesian Filter because it is disabled by the user");
        return true;
    case CBayesianFilter::kBayBounced:
        PrintLogMessage(6, "The message has been bounced by Bayesian filter");
        LogRecipientOutcome(locmail::delivery::Outcome::Returned, "spam, bounced as the user's spam settings ask");
        return false;
    case CBayesianFilter::kBayDiscarded:
        PrintLogMessage(6, "The message has been discarded by Bayesian filter");
        LogRecipientOutcome(locmail::delivery::Outcome::Discarded, "spam, discarded as the user's spam settings ask");
        return false;
    case CBayesianFilter::kBayFiled:
        PrintLogMessage(6, "The message has been filed by Bayesian filter");
        return false;
    case CBayesianFilter::kBayChanged:
        PrintLogMessage(6, "The message has been changed by Bayesian filter");
        if (changedPath != nullptr && InitBayMsg(changedPath))
            SwapBay();
        return true;
    case CBayesianFilter::kBayError:
        PrintLogMessage(6, "An error has occurred while running the Bayesian filter");
        return true;
    case CBayesianFilter::kBayNoUserSettings:
        PrintLogMessage(6, "No configuration parameter has been set for Bayesian filter");
        return true;
    case CBayesianFilter::kBayLockFailed:
        PrintLogMessage(6, "Unable to lock the home directory while running Bayesian filter");
        ReportHomeLockFailure();
    case CBayesianFilter::kBayWhiteListed:
        PrintLogMessage(6, "By passed Bayesian Filter - Matched WhiteList");
        return true;
    default:
        return true;
    }
}

// The postmaster is told (a failure to tell is let go), and the message stays
// queued: the store code 10 stops the walk.
void CLocalMail::ReportHomeLockFailure()
{
    try {
        CMimeMsg mail("", ',');
        const std::string postmaster = CVEXIniSetting().GetPostmaster();
        mail.Send(postmaster.c_str(), postmaster.c_str(), kLockFailureSubject, LockFailureText(m_recipient).c_str(),
                  nullptr);
    } catch (...) {
        // Reporting must not change what happens to the message.
    }
    SetLastError(locmail::msgstore::kCodeHomeLockFailed);
    throw CMsgStoreException(locmail::msgstore::kCodeHomeLockFailed, "Cannot lock user home directory");
}
