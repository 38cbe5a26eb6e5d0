// locmail explain [-f SENDER] ADDRESS < message: the X Scanner's verdict, the
// Bayesian filter's verdict and the user's action on it, then what the user's rules would do with the
// message, entry by entry, as the agent would execute them, without filing or
// sending anything.
#include "antispam/CAntiSpamConfig.h"
#include "antispam/CXScanner.h"
#include "bayes/CBayesianFilter.h"
#include "delivery/QueuedHeaderSize.h"
#include "host/Commands.h"
#include "host/MessageInput.h"
#include "host/StoreAccess.h"
#include "suite/cclient/MessageParser.h"
#include "suite/mailsort/CMailsort.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/mailsort/msgdest.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"
#include "suite/util/TempFileName.h"

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace locmail::host {
namespace {

constexpr int32_t kActionMask = 0x37;

const char* ErrorMeaning(int code)
{
    switch (code) {
    case kMailsortFilterCorrupted: return "Filter file corrupted";
    case kMailsortFilterOpen: return "Error in opening filter file";
    case kMailsortFilterRead: return "Error in reading filter file";
    case kMailsortFilterSyntax: return "Syntax error in filter file";
    case kMailsortMessageCorrupted: return "Message is corrupted";
    case kMailsortDistributionList: return "Message is from a distribution list, cannot send auto reply";
    case kMailsortUserNotFound: return "User not found in message store database";
    case kMailsortSharedNotFound: return "Shared mailbox not found";
    case kMailsortLowMemory: return "System low on memory";
    default: return "Messages may not all be delivered using Mailsort filtering";
    }
}

// One line per entry, following the current folder as the agent does (a
// shared folder never changes it).
void PrintEntries(const msgdest* list)
{
    std::string folder = "inbox";
    int number = 0;
    for (const msgdest* entry = list; entry != nullptr; entry = entry->next) {
        const bool shared = (entry->action & kActionShared) != 0;
        const int32_t action = entry->action & kActionMask;
        const std::string where = shared ? "shared mailbox folder \"" + std::string(entry->argument) + "\""
                                         : "folder \"" + std::string(entry->argument) + "\"";
        std::printf("%2d. action 0x%02X: ", ++number, static_cast<unsigned>(entry->action));
        switch (action) {
        case kActionMove:
            std::printf("move into %s\n", where.c_str());
            if (!shared)
                folder = entry->argument;
            break;
        case kActionCopy:
            std::printf("copy: file into \"%s\", then into %s\n", folder.c_str(), where.c_str());
            if (!shared)
                folder = entry->argument;
            break;
        case kActionReject: std::printf("reject: nothing filed\n"); break;
        case kActionForward: std::printf("forward to %s (a new entry on \"localout\")\n", entry->argument); break;
        case kActionVacation:
            std::printf("vacation reply to the sender when due, and file into \"%s\"\n", folder.c_str());
            break;
        default: std::printf("unknown: default delivery into \"%s\"\n", folder.c_str()); break;
        }
    }
    std::printf("a default delivery after these entries would use \"%s\"\n", folder.c_str());
}

struct TempFileRelease {
    void operator()(char* name) const noexcept { MimeFreeFile(name); }
};
using TempFile = std::unique_ptr<char, TempFileRelease>;

// A copy of TEXT in a new temporary file, or none.
TempFile TempCopy(const std::string& text)
{
    TempFile copy(VEXGetTempFileName(nullptr, "lmex"));
    UniqueFd fd(copy ? ::open(copy.get(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1);
    if (!fd || !WriteAll(fd.get(), text))
        return TempFile();
    return copy;
}

// An X Scanner that says where it would file or bounce instead of doing it.
class ExplainingScanner : public CXScanner {
public:
    bool FileMessage(const char*, const char*, const char* folder) override
    {
        what = folder ? std::string("filed into \"") + folder + "\"" : "filed into no folder (an error)";
        return folder != nullptr;
    }
    bool BounceToSender(const char*, const char*, const char* reason) override
    {
        what = std::string("returned to the sender") + (reason ? std::string(", saying \"") + reason + "\"" : "");
        return true;
    }
    std::string what;
};

// The X Scanner's verdict for the message TEXT; true when the delivery would end there.
bool ExplainXScanner(CMsgStore& store, const ExplainOptions& options, const std::string& text)
{
    char home[1024] = {};
    store.GetUserHomeDir(home);
    home[sizeof home - 1] = '\0';
    CAntiSpamConfig settings(home);
    TempFile message = TempCopy(text);
    if (!message) {
        std::printf("X Scanner: not run (no temporary copy of the message)\n");
        return false;
    }
    ExplainingScanner scanner;
    scanner.LoadRblSettings();
    scanner.SetAntiSpamConfig(&settings);
    const int result = scanner.Scan(options.sender.c_str(), home, message.get());
    switch (result) {
    case CXScanner::kXNoMark: std::printf("X Scanner: no spam mark in the header\n"); return false;
    case CXScanner::kXIgnored: std::printf("X Scanner: marked, the action is ignore: delivery goes on\n"); return false;
    case CXScanner::kXDiscarded: std::printf("X Scanner: marked, discarded: nothing filed\n"); return true;
    case CXScanner::kXFiled:
    case CXScanner::kXBounced: std::printf("X Scanner: marked, %s\n", scanner.what.c_str()); return true;
    case CXScanner::kXWhiteListed: std::printf("X Scanner: the sender is on the user's white list\n"); return false;
    case CXScanner::kXIPWhiteListed:
        std::printf("X Scanner: the relay address is on the user's IP white list\n");
        return false;
    default:
        std::printf("X Scanner: %s (see the log): delivery goes on\n",
                    scanner.what.empty() ? "an error" : scanner.what.c_str());
        return false;
    }
}

// What the user's Bayesian action makes of VERDICT (a Run result); sets ENDS
// when the delivery would end there.
std::string BayesianOutcome(int verdict, const CAntiSpamConfig& settings, bool& ends)
{
    const int action = settings.GetBayesianFilterAction();
    ends = false;
    switch (verdict) {
    case CBayesianFilter::kRunHam: return "ham: delivery goes on";
    case CBayesianFilter::kRunSpam:
        ends = action == 1 || action == 2 || action == 5;
        switch (action) {
        case 1: return "spam: discarded, nothing filed";
        case 2: return "spam: returned to the sender";
        case 3: return std::string("spam: subject changed to \"") + settings.GetSpamSubject() + "\", delivery goes on";
        case 4: return "spam: \"X-Spam-Status: YES\" added, delivery goes on";
        case 5: return std::string("spam: filed into \"") + settings.GetUserSpamFolder() + "\"";
        default: return "spam: no action chosen, delivery goes on";
        }
    case CBayesianFilter::kRunUndetermined:
        ends = action == 5;
        return ends ? std::string("undetermined: filed into \"") + settings.GetUndeterminedFolder() + "\""
                    : "undetermined: delivery goes on";
    case CBayesianFilter::kRunError: return "the filter failed (see the log): delivery goes on";
    default: return "no usable filter (see [BayesianFilter] of the configuration): delivery goes on";
    }
}

// The Bayesian step's verdict for the message TEXT, run on copies; true when the delivery would end there.
bool ExplainBayes(CMsgStore& store, const ExplainOptions& options, const std::string& text)
{
    CBayesianFilter filter;
    if (!filter.IsEnabled()) {
        std::printf("Bayesian filter: not enabled\n");
        return false;
    }
    char home[1024] = {};
    store.GetUserHomeDir(home);
    home[sizeof home - 1] = '\0';
    CAntiSpamConfig settings(home);
    if (settings.GetBayesianFilterAction() == 0) {
        std::printf("Bayesian filter: off for this user (BayesianFilterAction in antispam.cfg)\n");
        return false;
    }
    if (settings.IsWhiteListed(options.sender.c_str())) {
        std::printf("Bayesian filter: the sender is on the user's white list, not filtered\n");
        return false;
    }
    TempFile message = TempCopy(text);
    TempFile output(VEXGetTempFileName(nullptr, "lmda"));
    if (!message || !output) {
        std::printf("Bayesian filter: not run (no temporary copy of the message)\n");
        return false;
    }
    const int verdict =
        filter.Run(options.sender.c_str(), options.address.c_str(), home, message.get(), output.get());
    bool ends = false;
    std::printf("Bayesian filter: %s\n", BayesianOutcome(verdict, settings, ends).c_str());
    return ends;
}

int Explain(CMsgStore& store, const ExplainOptions& options, std::string& text)
{
    const uint32_t headerSize = delivery::QueuedHeaderSize(text.data(), static_cast<uint32_t>(text.size()));
    auto parsed = cclient::ParseMessage(text.data(), headerSize, text.data() + headerSize, text.size() - headerSize);
    if (!parsed.envelope || !parsed.body) {
        Complain("the message cannot be parsed");
        return EX_DATAERR;
    }
    store.SetProfile(options.address.c_str());
    if (store.IsShared()) {
        std::printf("%s is a shared mailbox: no rules, filed into its inbox\n", options.address.c_str());
        return EX_OK;
    }
    if (ExplainXScanner(store, options, text) || ExplainBayes(store, options, text)) {
        std::printf("the delivery ends there: the rules do not run\n");
        return EX_OK;
    }
    CMailsort rules(store, "Explain");
    if (!rules.IsFilterFileExist(nullptr, false)) {
        std::printf("%s has no rules: default delivery into \"inbox\"\n", options.address.c_str());
        return EX_OK;
    }
    ::mailsort.SetMsgStore(store);
    ::mailsort.getXHeaderInfo(text.data());
    ::mailsort.setSender(options.sender.c_str());
    mail_envelope* envelope = parsed.envelope.get();
    std::vector<char> recipient(options.address.begin(), options.address.end());
    recipient.push_back('\0');
    msgdest* list = nullptr;
    if (::mailsort.mailDest(&envelope, recipient.data(), &list) != 0) {
        const int code = ::mailsort.getErrorCode();
        std::printf("the rules cannot be used (error %d: %s): %s\n", code, ErrorMeaning(code),
                    code == kMailsortDistributionList ? "nothing is filed" : "default delivery into \"inbox\"");
        return EX_OK;
    }
    if (list == nullptr)
        std::printf("no rule matched: default delivery into \"inbox\"\n");
    else
        PrintEntries(list);
    ::mailsort.freeMailPath(list);
    return EX_OK;
}

} // namespace

int RunExplain(const ExplainOptions& options)
{
    StoreAccess access;
    if (int status = OpenStore(access); status != EX_OK)
        return status;
    std::string raw;
    if (!ReadAllFrom(STDIN_FILENO, raw)) {
        Complain("cannot read the message from standard input");
        return EX_IOERR;
    }
    std::string text = ToCrlfLines(raw);
    if (std::string problem = MessageShapeProblem(text); !problem.empty()) {
        Complain(problem);
        return EX_DATAERR;
    }
    CMsgStore store(access.settings.storeHome.c_str());
    try {
        return Explain(store, options, text);
    } catch (const CMsgStoreException& error) {
        Complain(std::string("cannot look at the mailbox of '") + options.address + "': " + error.GetMessage());
        return error.GetCode() == 3 ? EX_NOUSER : EX_UNAVAILABLE;
    }
}

} // namespace locmail::host
