// The queue walk: every message of the channel "local", every local recipient
// of a message, and what a store failure for a recipient leads to.
#include "delivery/CLocalMail.h"

#include "delivery/DeliveredCounter.h"
#include "delivery/InvalidRecipientPolicy.h"
#include "delivery/StatusCodes.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/OutgoingKey.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/DeliveryScope.h"
#include "suite/msgstore/HomeName.h"
#include "suite/msgstore/StoreCodes.h"
#include "suite/platform/Bounded.h"

#include <strings.h>

#include <cstring>
#include <string>

namespace {

namespace codes = locmail::msgstore;
using namespace locmail::delivery;
using locmail::delivery::Outcome;

bool IsLocalChannel(const char* channel) { return channel != nullptr && strcasecmp(channel, "local") == 0; }

bool IsUnknownMailboxCode(int code)
{
    return code == codes::kCodeUnknownRecipient || code == codes::kCodeMailboxDamaged ||
           code == codes::kCodeUnknownSharedMailbox || code == codes::kCodeNoHomeDirectory ||
           code == codes::kCodeBadAddress;
}

// The store cannot go on now (unavailable, or a home it cannot lock): keep the message queued.
bool IsStopCode(int code) { return code == codes::kCodeStoreUnavailable || code == codes::kCodeHomeLockFailed; }

} // namespace

void CLocalMail::DeliverMessage(bool& stop)
{
    // A mailbox that failed in an earlier walk gets a new try in this one.
    m_unavailableMailboxes.clear();
    // The next id is fetched before the stop flag is looked at.
    for (uint32_t id = GetFirstMessage(m_mqChannel, false);; id = GetNextMessage(m_mqChannel, false)) {
        if (id == locmail::mq::kNoMessage)
            return;
        if (id == locmail::mq::kQueueUnreachable)
            throw CLocalMailException(CLocalMailException::kQueueUnreachable,
                                      "Could not connect to message queue server");
        if (stop)
            return;
        ProcessQueuedMessage(id, stop);
    }
}

void CLocalMail::ProcessQueuedMessage(uint32_t id, bool& stop)
{
    PrintLogMessage(5, "Processing message queue <%08X>", id);
    ReleaseHeldMessage();
    // The queue library reuses its path buffer on the next call: keep a copy.
    const char* queuePath = GetMQPathName(id, ".msg");
    const std::string path = queuePath ? queuePath : "";

    if (!InitBuffer(path.c_str())) {
        KeepUnreadMessage(id);
        return;
    }
    InitHdrSize();
    if (!InitEnvBody()) {
        DeinitBuffer();
        HoldMessage(id, GetLastError() == kStatusHeaderInvalid
                            ? "its header has no end (no empty line after the header lines)"
                            : "its header or MIME structure cannot be parsed");
        return;
    }
    InitMsgStat();
    m_heldEnvelope.reset(GetMQEnvelope(m_mqChannel->msgNumber));
    if (!m_heldEnvelope) {
        DeinitEnvBody();
        DeinitBuffer();
        PrintLogMessage(1, "Message envelope invalid");
        HoldMessage(id, "its queue envelope cannot be read");
        return;
    }

    const long recipients = DeliverToLocalRecipients(id, *m_heldEnvelope, path.c_str(), stop);
    PrintLogMessage(5, "Processed %ld recipient", recipients);
    if (!stop) {
        ReleaseHeldMessage();
        RemoveMQChannel(m_mqChannel);
    }
    if (locmail::delivery::CountDeliveredMessage())
        stop = true;
}

long CLocalMail::DeliverToLocalRecipients(uint32_t id, stEnvelope& envelope, const char* path, bool& stop)
{
    long count = 0;
    const char* key = GetMQDeliveryKey(m_mqChannel);
    const std::string deliveryKey = key != nullptr ? key : "";
    unsigned index = 0; // the recipient's place in the envelope, as the queue counts them
    bool walkEnds = false;
    locmail::mq::ResetEnvCursor(envelope.rcpt);
    for (; !walkEnds; ++index) {
        auto* recipient = static_cast<_envRcpt*>(locmail::mq::NextEnvItem(envelope.rcpt));
        if (recipient == nullptr)
            break;
        if (!IsLocalChannel(recipient->channel))
            continue;
        ++count;
        locmail::mq::ResetEnvCursor(envelope.from);
        auto* sender = static_cast<_envFrom*>(locmail::mq::NextEnvItem(envelope.from));
        if (sender == nullptr) {
            PrintLogMessage(1, "Sender information invalid");
            break;
        }
        m_mqId = id;
        m_outcomeLogged = false;
        m_storeCode = 0;
        // Mail this recipient leads to (returned mail) is queued once, also when the entry comes again.
        locmail::mq::OutgoingKeyScope outgoing(deliveryKey + "." + std::to_string(index));
        TakeSenderAddress(sender->address);
        if (!TakeRecipientAddress(recipient->address)) {
            SetLastError(kStatusNoMailbox);
            ApplyInvalidRecipientPolicy(sender, "the recipient address is too long for a local mailbox");
            continue;
        }
        DeliverToRecipient(deliveryKey, index, sender, path, stop, walkEnds);
    }
    return count;
}

// One recipient's copy, under the entry's delivery key: a filing that the
// store already holds from an earlier, interrupted attempt is not made twice.
void CLocalMail::DeliverToRecipient(const std::string& deliveryKey, unsigned index, _envFrom* sender,
                                    const char* path, bool& stop, bool& walkEnds)
{
    const std::string mailbox = locmail::msgstore::FoldAddress(m_recipient);
    if (m_unavailableMailboxes.count(mailbox) != 0 &&
        DeferRecipient(index, "its mailbox could not take mail moments ago"))
        return;
    // The scope spans the handler too: a refile after a missing folder is a filing of this delivery.
    locmail::msgstore::DeliveryScope scope(deliveryKey, m_recipient);
    try {
        m_msgStore.SetProfile(m_recipient);
        DeliverToMsgStore(path);
        LogFilingOutcome(scope);
    } catch (const CMsgStoreException& error) {
        walkEnds = HandleStoreException(error, sender, index, stop);
    }
}

bool CLocalMail::DeferRecipient(unsigned index, const char* why)
{
    if (IsMQLmtpEntry(m_mqChannel)) {
        m_unavailableMailboxes.insert(locmail::msgstore::FoldAddress(m_recipient));
        LogRecipientOutcome(Outcome::Deferred, std::string(why) + " (the LMTP client tries again)");
        return true;
    }
    if (!DeferMQRecipient(m_mqChannel, index)) {
        PrintLogMessage(2, "Delivery to <%s> has been tried for longer than the queue keeps a message; returning it",
                        m_recipient);
        return false;
    }
    m_unavailableMailboxes.insert(locmail::msgstore::FoldAddress(m_recipient));
    PrintLogMessage(2, "Delivery to <%s> deferred: %s", m_recipient, why);
    LogRecipientOutcome(Outcome::Deferred, why);
    return true;
}

// A sender that does not fit is left empty rather than cut: mail returned on
// its behalf must not reach whoever owns the shortened address.
void CLocalMail::TakeSenderAddress(const char* address)
{
    if (locmail::CopyBounded(m_sender, address) == locmail::CopyResult::Truncated) {
        PrintLogMessage(2, "Sender address of %zu characters is too long; using an empty sender", std::strlen(address));
        m_sender[0] = '\0';
    }
}

// A recipient that does not fit is refused: a cut address could name another
// mailbox. It is kept cut in m_recipient for the returned-mail text.
bool CLocalMail::TakeRecipientAddress(const char* address)
{
    if (locmail::CopyBounded(m_recipient, address) == locmail::CopyResult::Copied)
        return true;
    PrintLogMessage(1, "Recipient address of %zu characters is too long for a local mailbox", std::strlen(address));
    return false;
}

bool CLocalMail::HandleStoreException(const CMsgStoreException& error, _envFrom* sender, unsigned index,
                                      bool& stop)
{
    PrintLog(1, error.GetMessage());
    const int code = error.GetCode();
    m_storeCode = code;
    if (code == codes::kCodeMailboxUnavailable && DeferRecipient(index, "its mailbox cannot take mail now"))
        return false;
    if (IsUnknownMailboxCode(code))
        SetLastError(kStatusNoMailbox);
    else if (code == locmail::msgstore::kCodeNoSuchFolder)
        RefileAfterMissingFolder();
    else
        SetLastError(kStatusMailboxError);

    if (IsStopCode(code)) {
        LogRecipientOutcome(Outcome::Deferred,
                            std::string(error.GetMessage()) + "; the message stays queued until the store can take it");
        stop = true;
        return true;
    }
    ApplyInvalidRecipientPolicy(sender, error.GetMessage());
    return false;
}

// The folder the store was asked for does not exist: file into the mailbox's
// default place instead. The policy still follows, as for every other code.
void CLocalMail::RefileAfterMissingFolder()
{
    try {
        if (m_msgStore.IsShared())
            DeliverToShared();
        else
            DefaultDelivery();
    } catch (const CMsgStoreException&) {
        // Nothing more to try; the policy below reports the recipient.
    }
}

void CLocalMail::ApplyInvalidRecipientPolicy(_envFrom* sender, std::string_view reason)
{
    using locmail::delivery::InvalidRecipientPolicy;
    switch (locmail::delivery::ReadInvalidRecipientPolicy()) {
    case InvalidRecipientPolicy::Postmaster:
        if (IsMQLmtpEntry(m_mqChannel)) { // refused in the reply; the client returns it to its sender
            LogRecipientOutcome(Outcome::Returned, reason);
            break;
        }
        DeliverToPostmaster();
        PrintLogMessage(6, "Message for Invalid user sent to Postmaster successfully");
        LogRecipientOutcome(Outcome::Returned, std::string(reason) + " (sent to the postmaster)");
        break;
    case InvalidRecipientPolicy::Delete:
        PrintLogMessage(6, "Message for Invalid user deleted successfully");
        LogRecipientOutcome(Outcome::Discarded, std::string(reason) + " (MailForInvalidLocalUser=Delete)");
        break;
    case InvalidRecipientPolicy::Bounce:
        DeliverToSender(sender);
        LogRecipientOutcome(Outcome::Returned, reason);
        break;
    }
}

void CLocalMail::KeepUnreadMessage(uint32_t id)
{
    if (m_readErrno == 0) {
        HoldMessage(id, GetLastError() == kStatusQueueFileEmpty ? "its text is empty" : "its text is too large");
        return;
    }
    if (DeferMQEntry(m_mqChannel)) {
        PrintLogMessage(2, "Message queue <%08X> cannot be read now (%s); it stays queued for a later attempt", id,
                        std::strerror(m_readErrno));
        LogMessageOutcome(id, Outcome::Deferred,
                          std::string("its text cannot be read now: ") + std::strerror(m_readErrno));
        RemoveMQChannel(m_mqChannel);
        return;
    }
    const std::string reason = std::string("its text could not be read (") + std::strerror(m_readErrno) +
                               ") for longer than the queue keeps a message";
    HoldMessage(id, reason.c_str());
}

// Kept for an operator, never dropped; when even that fails the entry is only
// let go (not removed) and is offered again.
void CLocalMail::HoldMessage(uint32_t id, const char* reason)
{
    if (!HoldMQEntry(m_mqChannel, reason))
        PrintLogMessage(1, "Message queue <%08X> could not be held (%s); it stays queued", id, reason);
    else
        LogMessageOutcome(id, Outcome::Held, reason);
}

// A message kept after a stop or an escaping exception is let go before the
// next one is loaded; it is still queued, so nothing is lost.
void CLocalMail::ReleaseHeldMessage()
{
    DeinitEnvBody();
    DeinitBuffer();
    m_heldEnvelope.reset();
}
