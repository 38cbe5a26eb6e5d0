// The walk over the rules outcome, the default delivery with its inbox retry,
// and the filing actions (move, copy, reject).
#include "rules/CLocalMailsort.h"

#include "delivery/CLocalMail.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/mailsort/msgdest.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/mq/OutgoingKey.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/msgstore/StoreCodes.h"

#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr int32_t kActionMask = 0x37;
constexpr int kUserNameSize = 244;

bool inboxRetryArmed = true;

} // namespace

CLocalMailsort::CLocalMailsort(CLocalMail& localMail, msgdest* msgDest, const char* moduleName)
    : CLogging(moduleName), m_shared(false), m_msgDest(msgDest), m_localMail(&localMail), m_folder("inbox")
{
}

CLocalMailsort::~CLocalMailsort() = default;

bool CLocalMailsort::IsInboxRetryArmed() { return inboxRetryArmed; }
void CLocalMailsort::SetInboxRetryArmed(bool armed) { inboxRetryArmed = armed; }

bool CLocalMailsort::Deliver()
{
    if (m_msgDest == nullptr) {
        PrintLogMessage(5, "No filter match, using default delivery....");
        DefaultDelivery(mailsort.getUserName());
        return true;
    }
    PrintLogMessage(5, "Delivering message according to Mailsort setting....");
    // User names are bounded by the rules library's 240 characters.
    char user[kUserNameSize] = {};
    std::memcpy(user, m_msgDest->userName, strnlen(m_msgDest->userName, sizeof user - 1));
    bool result = true;
    const char* sharedMailbox = nullptr;
    const char* sharedFolder = nullptr;
    char split[kMsgdestTextSize];
    unsigned index = 0;
    for (msgdest* entry = m_msgDest; entry != nullptr; entry = entry->next, ++index) {
        // Mail an entry sends is numbered under the entry's place in the list:
        // a retry that sends less before it (a vacation already answered, a
        // forward that failed) must not hand its keys to other mail.
        std::optional<locmail::mq::OutgoingKeyScope> sendScope;
        if (const auto base = locmail::mq::CurrentOutgoingBase())
            sendScope.emplace(*base + "." + std::to_string(index));
        m_shared = (entry->action & kActionShared) != 0;
        entry->action &= kActionMask;
        const int32_t action = entry->action;
        if (m_shared && (action == kActionMove || action == kActionCopy)) {
            if (std::strpbrk(entry->argument, "\\/") == nullptr) {
                sharedMailbox = entry->argument;
                sharedFolder = nullptr;
            } else {
                std::memcpy(split, entry->argument, sizeof split);
                split[sizeof split - 1] = '\0';
                char* saved = nullptr;
                sharedMailbox = strtok_r(split, "/\\", &saved);
                // Only separators: no mailbox name; the store refuses the empty name.
                if (sharedMailbox == nullptr)
                    sharedMailbox = "";
                const size_t skip = std::strlen(sharedMailbox) + 1;
                sharedFolder = skip <= std::strlen(entry->argument) ? entry->argument + skip : "";
            }
        }
        switch (action) {
        case kActionMove:
            PrintLogMessage(5, "Using Mailsort Move option....");
            if (m_shared)
                RulesEngineMoveMsg(sharedMailbox, sharedFolder);
            else
                RulesEngineMoveMsg(user, entry->argument);
            break;
        case kActionCopy:
            PrintLogMessage(5, "Using Mailsort Copy option....");
            RulesEngineCopyMsg(user, sharedMailbox, m_shared ? sharedFolder : entry->argument);
            break;
        case kActionReject:
            PrintLogMessage(5, "Using Mailsort Reject option....");
            break;
        case kActionForward:
            PrintLogMessage(5, "Using Mailsort Forward option....");
            if (!RulesEngineForwardMsg(entry->argument))
                result = false;
            break;
        case kActionVacation:
            PrintLogMessage(5, "Using Mailsort Vacation option....");
            if (!RulesEngineVacationMsg(user))
                result = false;
            break;
        default:
            PrintLogMessage(5, "Unknown Mailsort option, using default delivery....");
            DefaultDelivery(user);
            break;
        }
    }
    inboxRetryArmed = true;
    return result;
}

void CLocalMailsort::DefaultDelivery(const char* user)
{
    CLocalMail& mail = *m_localMail;
    CMsgStore& store = mail.GetMsgStore();
    try {
        store.AddUserMsg(user, mail.GetMsgBody(), mail.GetMsgEnv(), mail.GetMsgStat(), mail.GetMsgBuffer(),
                         mail.GetBufferLen(), m_folder, false, false);
    } catch (const CMsgStoreException& error) {
        if (error.GetCode() == locmail::msgstore::kCodeNoSuchFolder) {
            const bool retry = inboxRetryArmed;
            inboxRetryArmed = false;
            if (retry) {
                SetFolder("inbox");
                store.AddUserMsg(user, mail.GetMsgBody(), mail.GetMsgEnv(), mail.GetMsgStat(), mail.GetMsgBuffer(),
                                 mail.GetBufferLen(), m_folder, false, false);
            }
        }
        PrintLog(1, error.GetMessage());
    }
}

void CLocalMailsort::RulesEngineMoveMsg(const char* target, const char* folder)
{
    if (m_shared) {
        CLocalMail& mail = *m_localMail;
        mail.GetMsgStore().AddSharedMsg(target, mail.GetMsgBody(), mail.GetMsgEnv(), mail.GetMsgStat(),
                                        mail.GetMsgBuffer(), mail.GetBufferLen(), folder, true);
        return;
    }
    SetFolder(folder);
    DefaultDelivery(target);
}

void CLocalMailsort::RulesEngineCopyMsg(const char* user, const char* sharedMailbox, const char* folder)
{
    DefaultDelivery(user);
    RulesEngineMoveMsg(m_shared ? sharedMailbox : user, folder);
}

// Whether a rejected message is answered is the rules library's affair.
void CLocalMailsort::RulesEngineRejectMsg() {}

// A folder name longer than the member holds is not cut (a cut name could be
// another folder): the message goes to the inbox instead, with a log line.
void CLocalMailsort::SetFolder(const char* folder)
{
    if (std::strlen(folder) >= sizeof m_folder) {
        PrintLogMessage(2, "Folder name of %zu characters is too long; using the inbox", std::strlen(folder));
        folder = "inbox";
    }
    std::strcpy(m_folder, folder);
}
