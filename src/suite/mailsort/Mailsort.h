// Mailsort: the rules library's evaluation of a user's filter file, and the
// process-wide object `mailsort` through which the agent calls it.
//
// One evaluation, as the agent makes it: SetMsgStore (the store, with the
// recipient's profile selected), getXHeaderInfo (the whole message text; its
// header is copied), optionally setSender (the envelope sender, after
// getXHeaderInfo), then mailDest, which reads "rules.sieve" from the
// recipient's home, parses and runs it and returns the msgdest list (null:
// nothing to do but the default delivery). A file that parsed is kept parsed
// until it changes (ScriptCache.h). The list goes back through
// freeMailPath. checkJunkMail answers for the message of the last
// getXHeaderInfo.
//
// Envelope: "to" is the recipient given to mailDest; "from" is what setSender
// gave, else the message's Return-Path, else unknown (it then matches as "").
//
// A vacation on a message that must get no automatic reply (checkJunkMail) is
// left out of the list and the reason logged at level 6 with the text of error
// 5; mailDest does not fail with error 5, since the agent would then file the
// message nowhere. So is a vacation on a message whose To, Cc, Bcc or Resent-*
// fields name neither the recipient nor one of the vacation's :addresses. getVacation keeps the last run's vacation arguments for the
// reply.
//
// Failure modes: mailDest returns 0, or -1 with getErrorCode set to one of
// the codes below, after logging the cause (with line and column for a
// script error) under the module "Mailsort". It never throws. One thread at a
// time (the object is process-wide).
#pragma once

#include "suite/mailsort/SieveScript.h"
#include "suite/mailsort/msgdest.h"
#include "suite/platform/Export.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CMsgStore;
struct mail_envelope;
namespace locmail::mailsort {
class MessageView;
class ScriptError;
struct Outcome;
}

enum MailsortError {
    kMailsortFilterCorrupted = 0,
    kMailsortFilterOpen = 1,
    kMailsortFilterRead = 2,
    kMailsortFilterSyntax = 3,
    kMailsortMessageCorrupted = 4,
    kMailsortDistributionList = 5,
    kMailsortUserNotFound = 6,
    kMailsortSharedNotFound = 7,
    kMailsortLowMemory = 8,
};

class LOCMAIL_EXPORT Mailsort {
public:
    static constexpr int kUserNameSize = 241;

    Mailsort();
    ~Mailsort();
    Mailsort(const Mailsort&) = default;
    Mailsort& operator=(const Mailsort&) = default;

    int getErrorCode() const { return m_errorCode; }
    void setErrorCode(int code) { m_errorCode = code; }
    char* getUserName() { return m_userName; }
    void setUserName(const char* name);
    void setFound() { m_found = 1; }
    void unsetFound() { m_found = 0; }
    void setResume() { m_resume = 1; }
    void unsetResume() { m_resume = 0; }
    // ORs BITS into the action word of the entry most recently built.
    void setActionFlag(int32_t bits)
    {
        if (m_current)
            m_current->action |= bits;
    }
    void msgdestFree(msgdest* list) { mailpathDeAlloc(list); }
    void mailpathDeAlloc(msgdest* list);
    CMsgStore* GetMsgStore() const { return m_store; }
    void SetMsgStore(CMsgStore& store) { m_store = &store; }

    int getXHeaderInfo(char* message);
    void setSender(const char* sender);
    int mailDest(mail_envelope** envelope, char* recipient, msgdest** list);
    void freeMailPath(msgdest* list);
    bool checkJunkMail();
    const std::optional<locmail::mailsort::VacationArgs>& getVacation() const { return m_vacation; }

private:
    int Fail(int code);
    int Evaluate(const char* recipient, msgdest** list);
    int LoadScript(const std::string& path, std::shared_ptr<const locmail::mailsort::Script>& script);
    void DropUnwantedVacation(const locmail::mailsort::MessageView& view, const char* recipient,
                              locmail::mailsort::Outcome& outcome);
    static int LogScriptError(const std::string& path, const locmail::mailsort::ScriptError& error);
    bool FindHome(const char* recipient, std::string& home);
    bool SharedMailboxesExist(const std::vector<std::string>& sharedFolders, const char* recipient);

    int m_errorCode = 0;
    char m_userName[kUserNameSize] = {};
    int m_found = 0;
    int m_resume = 0;
    msgdest* m_current = nullptr;
    CMsgStore* m_store = nullptr;
    bool m_haveMessage = false;
    std::string m_header;
    uint64_t m_messageSize = 0;
    std::string m_sender;
    bool m_senderKnown = false;
    std::optional<locmail::mailsort::VacationArgs> m_vacation;
};

LOCMAIL_EXPORT extern Mailsort mailsort;
