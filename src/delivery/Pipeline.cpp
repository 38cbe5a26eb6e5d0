// Routing a recipient to its shared mailbox or through the per-user pipeline,
// and the default delivery into "inbox". Store failures leave as
// CMsgStoreException for the queue walk to handle.
#include "delivery/CLocalMail.h"

#include "antispam/CAntiSpamConfig.h"
#include "suite/mailsort/CMailsort.h"
#include "suite/mq/Envelope.h"
#include "suite/msgstore/CMsgStore.h"

#include <memory>
#include <new>

namespace {

constexpr int kMayNotReceive = 13;
constexpr int kHomeDirSize = 1024;

char emptyText[] = "";

// The sender record of mail returned by the pipeline itself: the sender's
// address, empty texts, zero numbers.
std::unique_ptr<_envFrom> NewSenderRecord(char* address)
{
    return std::unique_ptr<_envFrom>(new (std::nothrow) _envFrom{address, emptyText, 0, 0, emptyText, emptyText});
}

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

void CLocalMail::DeliverToUser([[maybe_unused]] const char* path)
{
    PrintLogMessage(5, "Delivering message to user <%s>", m_recipient);

    bool mayLogin = true;
    bool mayReceive = true;
    m_msgStore.GetUserPermission(mayLogin, mayReceive);
    if (!mayReceive) {
        SetLastError(kMayNotReceive);
        PrintLogMessage(2, "User not allowed to receive mail at this time, bouncing message to sender....");
        std::unique_ptr<_envFrom> sender = NewSenderRecord(m_sender);
        if (!sender) {
            PrintLogMessage(2, "Out of memory. Unable to bounce the message at this time..");
            return;
        }
        DeliverToSender(sender.get());
        return;
    }

    CMailsort rules(m_msgStore, GetModuleName());

    char homeDir[kHomeDirSize] = {};
    m_msgStore.GetUserHomeDir(homeDir);
    homeDir[kHomeDirSize - 1] = '\0';
    PrintLogMessage(5, "Home directory for <%s> is <%s>", m_recipient, homeDir);

    // Read afresh for every user delivery, and released on every way out of it.
    [[maybe_unused]] CAntiSpamConfig antiSpam(homeDir);

    // The X Scanner runs here when m_xScanner exists; its result may end the delivery.
    // The Bayesian step runs here (m_bayesFilter, a temporary file for a changed
    // message, SwapBay); its result may end the delivery.

    // The recipient's profile is selected already: no second selection.
    if (rules.IsFilterFileExist(nullptr, false)) {
        if (!MailSortDelivery()) {
            PrintLogMessage(5, "Using default delivery....");
            DefaultDelivery();
        }
    } else {
        DefaultDelivery();
    }

    // The Bayesian working copy is swapped back here (UnSwapBay, DeinitBayMsg).
    PrintLogMessage(5, "Message delivered successfully");
}
