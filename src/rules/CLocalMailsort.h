// CLocalMailsort: executes the rules library's outcome (the msgdest list) for
// the agent's current message and recipient: move, copy, reject, forward,
// vacation reply, or the default delivery into the current folder.
//
// Contract: built on the stack for one message and one recipient with the
// agent whose message members it reads (not owned) and the list (not owned:
// the caller gives it back to the rules library). Deliver walks the list in
// order and answers false when a forward or a vacation entry failed. Every
// filing goes through the store, under the delivery scope the agent opened
// for the recipient, so a retried entry never files twice into one folder;
// mail it queues (forwards, vacation replies) is keyed by the agent's
// outgoing-mail scope, so a retry never queues it twice.
// The inbox retry flag is process-wide: armed at start, disarmed by a filing
// that fails with store code 14, armed again after each walk of a non-empty list.
// One thread at a time (the flag and the rules library's object are shared).
// Failure modes: store failures of the user's own mailbox are logged and
// swallowed; a store failure of a shared mailbox and the exceptions the
// vacation does not catch pass to the caller.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

class CLocalMail;
struct msgdest;

class LOCMAIL_EXPORT CLocalMailsort : public CLogging {
public:
    static constexpr int kFolderSize = 241;

    CLocalMailsort(CLocalMail& localMail, msgdest* msgDest, const char* moduleName);
    ~CLocalMailsort() override;
    CLocalMailsort(const CLocalMailsort&) = default;

    bool Deliver();

    // The process-wide inbox retry flag, for the agent's tests.
    static bool IsInboxRetryArmed();
    static void SetInboxRetryArmed(bool armed);

private:
    void DefaultDelivery(const char* user);
    void RulesEngineMoveMsg(const char* target, const char* folder);
    void RulesEngineCopyMsg(const char* user, const char* sharedMailbox, const char* folder);
    void RulesEngineRejectMsg();
    bool RulesEngineForwardMsg(char* addresses);
    bool RulesEngineVacationMsg(const char* user);
    void SetFolder(const char* folder);

    bool m_shared;
    msgdest* m_msgDest;
    CLocalMail* m_localMail;
    char m_folder[kFolderSize];
};
