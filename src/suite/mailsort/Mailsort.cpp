#include "suite/mailsort/Mailsort.h"

#include "suite/log/LogMessage.h"
#include "suite/mailsort/Destinations.h"
#include "suite/mailsort/JunkMail.h"
#include "suite/mailsort/MessageView.h"
#include "suite/mailsort/ScriptCache.h"
#include "suite/mailsort/ScriptError.h"
#include "suite/mailsort/ScriptFile.h"
#include "suite/mailsort/SieveEvaluator.h"
#include "suite/mailsort/SieveLimits.h"
#include "suite/mailsort/SieveParser.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/platform/Files.h"

#include <cstring>
#include <new>

Mailsort mailsort;

namespace {

constexpr const char* kModule = "Mailsort";

using namespace locmail::mailsort;

std::string ReturnPath(const MessageView& view)
{
    auto values = view.Values("Return-Path");
    return values.empty() ? std::string() : std::string(values.front());
}

} // namespace

Mailsort::Mailsort() = default;
Mailsort::~Mailsort() = default;

void Mailsort::setUserName(const char* name)
{
    std::memset(m_userName, 0, sizeof m_userName);
    if (name)
        std::strncpy(m_userName, name, sizeof m_userName - 1);
}

void Mailsort::mailpathDeAlloc(msgdest* list)
{
    FreeList(list);
    m_current = nullptr;
}

void Mailsort::freeMailPath(msgdest* list) { mailpathDeAlloc(list); }

int Mailsort::getXHeaderInfo(char* message)
{
    m_haveMessage = false;
    m_sender.clear();
    m_senderKnown = false;
    m_header.clear();
    m_messageSize = 0;
    if (!message)
        return -1;
    std::string_view text(message);
    try {
        m_header.assign(text.substr(0, HeaderLength(text)));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    m_messageSize = text.size();
    m_haveMessage = true;
    return 0;
}

void Mailsort::setSender(const char* sender)
{
    m_sender = sender ? sender : "";
    m_senderKnown = sender != nullptr;
}

bool Mailsort::checkJunkMail()
{
    if (!m_haveMessage)
        return false;
    MessageView view(m_header, m_messageSize, m_sender, "");
    if (m_senderKnown)
        return IsAutoReplyForbidden(view, true);
    view.SetEnvelopeFrom(ReturnPath(view));
    return IsAutoReplyForbidden(view, view.Has("Return-Path"));
}

int Mailsort::Fail(int code)
{
    m_errorCode = code;
    return -1;
}

bool Mailsort::FindHome(const char* recipient, std::string& home)
{
    char buffer[1024] = {};
    try {
        m_store->SetProfile(recipient);
        if (m_store->GetLastError() != 0 || m_store->IsShared())
            return false;
        m_store->GetUserHomeDir(buffer);
    } catch (...) {
        return false;
    }
    buffer[sizeof buffer - 1] = '\0';
    home = buffer;
    return !home.empty();
}

// Each shared mailbox a rule names must exist; the recipient's profile is
// selected again afterwards, as the agent left it.
bool Mailsort::SharedMailboxesExist(const std::vector<std::string>& sharedFolders, const char* recipient)
{
    bool found = true;
    for (const std::string& folder : sharedFolders) {
        std::string mailbox = folder.substr(0, folder.find_first_of("/\\"));
        try {
            m_store->SetProfile(mailbox.c_str());
            found = m_store->GetLastError() == 0 && m_store->IsShared();
        } catch (...) {
            found = false;
        }
        if (!found) {
            LogMessage(1, kModule, "Shared mailbox \"%s\" named in the rules of %s does not exist", mailbox.c_str(),
                       recipient);
            break;
        }
    }
    if (!sharedFolders.empty())
        m_store->SetProfile(recipient);
    return found;
}

int Mailsort::LogScriptError(const std::string& path, const ScriptError& error)
{
    if (error.line() > 0)
        LogMessage(1, kModule, "%s: line %d, column %d: %s", path.c_str(), error.line(), error.column(), error.what());
    else
        LogMessage(1, kModule, "%s: %s", path.c_str(), error.what());
    return error.corrupt() ? kMailsortFilterCorrupted : kMailsortFilterSyntax;
}

// Reads and parses PATH into SCRIPT and keeps it for the next message; -1, or
// the error code after logging the cause. Throws ScriptError for a bad script.
int Mailsort::LoadScript(const std::string& path, std::shared_ptr<const Script>& script)
{
    std::string text;
    struct stat info {};
    switch (ReadScriptFile(path, text, &info)) {
    case ReadResult::Ok: break;
    case ReadResult::OpenFailed:
        LogMessage(1, kModule, "%s: cannot open: %s", path.c_str(), std::strerror(errno));
        return kMailsortFilterOpen;
    case ReadResult::ReadFailed:
        LogMessage(1, kModule, "%s: cannot read: %s", path.c_str(), std::strerror(errno));
        return kMailsortFilterRead;
    case ReadResult::TooLarge:
        LogMessage(1, kModule, "%s: larger than %zu bytes", path.c_str(), kMaxScriptBytes);
        return kMailsortFilterSyntax;
    }
    script = std::make_shared<const Script>(ParseScript(text));
    ScriptCache::Process().Store(path, info, script);
    return -1;
}

// RFC 5230 section 4.5: no reply to lists and machines, nor to mail that did
// not name the user (or one of the vacation's :addresses) as a recipient.
void Mailsort::DropUnwantedVacation(const MessageView& view, const char* recipient, Outcome& outcome)
{
    if (checkJunkMail()) {
        LogMessage(6, kModule, "Message is from a distribution list, cannot send auto reply");
        outcome.vacation.reset();
        return;
    }
    std::vector<std::string> addresses = outcome.vacation->addresses;
    addresses.emplace_back(recipient);
    if (!IsAddressedTo(view, addresses)) {
        LogMessage(6, kModule, "Message not addressed to %s, no vacation reply", recipient);
        outcome.vacation.reset();
    }
}

int Mailsort::Evaluate(const char* recipient, msgdest** list)
{
    std::string home;
    if (!m_store || !FindHome(recipient, home)) {
        LogMessage(1, kModule, "No user %s with a home directory in the message store", recipient);
        return Fail(kMailsortUserNotFound);
    }
    std::string path = locmail::PathJoin(home, kFilterFileName);
    Outcome outcome;
    try {
        std::shared_ptr<const Script> script = ScriptCache::Process().Lookup(path);
        if (!script) {
            int code = LoadScript(path, script);
            if (code >= 0)
                return Fail(code);
        }
        MessageView view(m_header, m_messageSize, m_sender, recipient);
        if (!m_senderKnown)
            view.SetEnvelopeFrom(ReturnPath(view));
        outcome = locmail::mailsort::Evaluate(*script, view);
        if (outcome.vacation)
            DropUnwantedVacation(view, recipient, outcome);
    } catch (const ScriptError& error) {
        return Fail(LogScriptError(path, error));
    }
    if (!SharedMailboxesExist(outcome.sharedFolders, recipient))
        return Fail(kMailsortSharedNotFound);
    m_vacation = outcome.vacation;
    *list = BuildList(PlanDestinations(outcome), m_userName);
    for (m_current = *list; m_current && m_current->next;)
        m_current = m_current->next;
    return 0;
}

int Mailsort::mailDest(mail_envelope** envelope, char* recipient, msgdest** list)
{
    if (list)
        *list = nullptr;
    m_vacation.reset();
    m_current = nullptr;
    if (!list || !envelope || !*envelope || !m_haveMessage) {
        LogMessage(1, kModule, "No parsed message to evaluate the rules against");
        return Fail(kMailsortMessageCorrupted);
    }
    if (!recipient || !*recipient || std::strlen(recipient) > kMaxUserNameLength) {
        LogMessage(1, kModule, "No usable recipient address for the rules");
        return Fail(kMailsortUserNotFound);
    }
    setUserName(recipient);
    try {
        return Evaluate(recipient, list);
    } catch (const std::bad_alloc&) {
        LogMessage(1, kModule, "Out of memory while evaluating the rules of %s", recipient);
        return Fail(kMailsortLowMemory);
    } catch (const std::exception& error) {
        LogMessage(1, kModule, "Rules of %s not evaluated: %s", recipient, error.what());
        return Fail(kMailsortFilterCorrupted);
    }
}
