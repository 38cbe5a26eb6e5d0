// CLocalMail: the local delivery agent. It drains the queue channel "local",
// loads and parses each message, and hands every local recipient to the
// message store: a shared mailbox at once, a user through the per-user pipeline
// (permission, the X Scanner, the Bayesian filter, the rules, the inbox).
// The constructor builds the X Scanner and loads its RBL host settings from
// the directory; when it cannot be made the pipeline goes without it.
//
// Contract: the host builds one agent with its CMsgStore (not owned, must
// outlive the agent), the queue name and a logging module name, then calls
// DeliverMessage(stop) again and again. One call walks the whole channel; the
// agent only ever sets STOP (after its 2001st message of the process, or when
// the store reports code 4 or 10, in which case the message stays queued).
// One thread at a time per agent. Every message member below is empty between
// messages, except after a stop or an escaping exception, when the message
// stays loaded until the next message or the destructor releases it.
// Each recipient's filing carries the entry's delivery key, so a message offered
// again after a crash is recognised by the store instead of filed twice; a
// recipient whose own mailbox cannot take mail now (store code 17) is left
// queued for a later attempt while the other recipients and messages go on.
//
// Failure modes: the constructor throws CLocalMailException 4 ("Could not
// initialize message queue") or 5 ("Could not open message queue") and no
// agent exists; DeliverMessage throws CLocalMailException 2 when the queue
// cannot be read, and lets every exception but CMsgStoreException from the
// delivery of a recipient pass (the message then stays queued). Store
// exceptions of a recipient become the invalid-recipient policy
// ([Options] MailForInvalidLocalUser: Bounce, Postmaster or Delete).
// An entry that came through LMTP (IsMQLmtpEntry) had one reply per recipient
// from its outcome: no returned mail is sent for it and no recipient of it is
// deferred (the LMTP client does both); the outcome lines are logged as ever.
// Status: the CLogging last-error code keeps the last failing step (6 read
// error, 7/8/9 unparsable body/envelope/header, 10 empty queue file,
// 3/11 store failures, 13 user may not receive mail now; StatusCodes.h).
#pragma once

#include "antispam/CXScanner.h"
#include "bayes/CBayesianFilter.h"
#include "delivery/CLocalMailException.h"
#include "delivery/OutcomeLine.h"
#include "suite/cclient/Owners.h"
#include "suite/msgstore/Records.h"
#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class CMsgStore;
class CMsgStoreException;
struct MQContext;
struct mail_envelope;
struct mail_bodystruct;
struct stEnvelope;
struct _envFrom;
namespace locmail::msgstore {
class DeliveryScope;
}

class LOCMAIL_EXPORT CLocalMail : public CLogging {
public:
    static constexpr int kAddressSize = 1024;

    CLocalMail(CMsgStore& msgStore, const char* queueName, const char* moduleName);
    ~CLocalMail() override;
    // The agent owns its channel and message: a copy would close and free them twice.
    CLocalMail(const CLocalMail&) = delete;
    CLocalMail& operator=(const CLocalMail&) = delete;

    // Delivers every message queued on "local", until the channel is empty or STOP is set.
    void DeliverMessage(bool& stop);

    // Direct delivery for mailbox migration (DirectDelivery.cpp): one message,
    // from a file or from the caller's memory, into FOLDER of the local user
    // whom the directory names for USER on CONNECTOR (othermailbox
    // "CONNECTOR$USER"), with no queue and no per-user pipeline. True when the
    // store took it; false with the last-error code and message set (11 no
    // local user, 10/6 the file is empty or unreadable, 9/8/7 unparsable,
    // 1 directory failure or store code 4, 3 other store failures). Nothing
    // throws but std::bad_alloc. The memory overload never keeps nor frees TEXT.
    bool DeliverMessage(const char* user, const char* folder, const char* path, const char* connector);
    bool DeliverMessage(const char* user, const char* folder, const char* text, unsigned long length,
                        const char* connector, const char* dateText, const char* flagText);

    unsigned long GetBufferLen() const { return m_bufferLen; }
    unsigned long GetHdrSize() const { return m_hdrSize; }
    unsigned long GetMQId() const { return m_mqId; }
    mail_envelope* GetMsgEnv() const { return m_msgEnv.get(); }
    mail_bodystruct* GetMsgBody() const { return m_msgBody.get(); }
    char* GetMsgBuffer() const { return m_msgBuffer.get(); }
    _msgstat* GetMsgStat() { return &m_msgStat; }
    CMsgStore& GetMsgStore() const { return m_msgStore; }
    char* GetRecipient() { return m_recipient; }
    char* GetSender() { return m_sender; }

private:
    MQContext* GetMQChannel() const { return m_mqChannel; }
    // The Date field of the parsed envelope; requires one.
    const char* GetEnvDateTime() const;
    // Takes BUFFER as the message text, without a copy; the text held before is
    // let go unfreed (whoever set it owns it).
    void SetBuffer(const char* buffer);
    void SetBufferLen(unsigned long length);
    void SetMsgId(unsigned long id);
    // Copy into the 1024-character members; a longer address is cut (and terminated).
    void SetRecipient(const char* recipient);
    void SetSender(const char* sender);

    // Direct delivery's steps (DirectDelivery.cpp).
    [[nodiscard]] bool FindLocalName(const char* user, const char* connector, char* localName);
    [[nodiscard]] bool FileDirectly(const char* localName, const char* folder, bool fromMemory);

    // Construction (CLocalMail.cpp).
    void InitMQChannel(const char* queueName);

    // The queue walk (QueueLoop.cpp).
    void ProcessQueuedMessage(uint32_t id, bool& stop);
    long DeliverToLocalRecipients(uint32_t id, stEnvelope& envelope, const char* path, bool& stop);
    void DeliverToRecipient(const std::string& deliveryKey, unsigned index, _envFrom* sender, const char* path,
                            bool& stop, bool& walkEnds);
    void TakeSenderAddress(const char* address);
    [[nodiscard]] bool TakeRecipientAddress(const char* address);
    // True when the recipient walk must end (codes 4 and 10).
    [[nodiscard]] bool HandleStoreException(const CMsgStoreException& error, _envFrom* sender, unsigned index,
                                            bool& stop);
    // Leaves recipient INDEX queued for a later attempt; false when the entry is past its lifetime.
    [[nodiscard]] bool DeferRecipient(unsigned index, const char* why);
    void RefileAfterMissingFolder();
    // Bounce, Postmaster or Delete, with REASON in the recipient's outcome line.
    void ApplyInvalidRecipientPolicy(_envFrom* sender, std::string_view reason);
    void ReleaseHeldMessage();
    // A message that cannot be loaded is never taken off the queue: a text that
    // cannot be read now waits (deferred), one the agent cannot take for its
    // shape goes to the queue's hold area with the reason.
    void KeepUnreadMessage(uint32_t id);
    void HoldMessage(uint32_t id, const char* reason);

    // The outcome lines (RecipientOutcome.cpp): one per recipient, the first
    // one told counts; and one for a message no recipient of which was reached.
    void LogRecipientOutcome(locmail::delivery::Outcome status, std::string_view reason,
                             std::vector<locmail::delivery::CopyPlace> copies = {});
    void LogMessageOutcome(uint32_t id, locmail::delivery::Outcome status, std::string_view reason);
    // Filed, with the copies SCOPE noted; discarded when the rules or the spam step kept none.
    void LogFilingOutcome(const locmail::msgstore::DeliveryScope& scope);

    // Loading one message (MessageLoading.cpp).
    bool InitBuffer(const char* path);
    void DeinitBuffer();
    void InitHdrSize();
    bool InitEnvBody();
    void DeinitEnvBody();
    void InitMsgStat();
    void InitMsgStat(const char* dateText, const char* flagText);

    // Returned mail (DeliverToSender.cpp); none of them throws CMimeMsgException.
    void DeliverToSender(_envFrom* sender);
    void DeliverToSender();
    void DeliverToPostmaster();

    // Routing and the per-user pipeline (Pipeline.cpp).
    void DeliverToMsgStore(const char* path);
    void DeliverToShared();
    void DeliverToUser(const char* path);
    void DefaultDelivery();
    // The rules step (MailSortDelivery.cpp): false when the pipeline is to file into the inbox itself.
    bool MailSortDelivery();
    // The X Scanner's result: true when the delivery goes on (Pipeline.cpp).
    bool ActOnXScannerResult(int result);
    // The Bayesian step's result: true when the delivery goes on (Pipeline.cpp).
    bool ActOnBayesianResult(int result, const char* changedPath);
    [[noreturn]] void ReportHomeLockFailure();

    // The Bayesian working copy (BayesWorkingCopy.cpp): a changed message
    // loaded like a queued one and swapped into the message members for the
    // rest of one recipient's delivery.
    bool InitBayMsg(const char* path);
    void DeinitBayMsg();
    void SwapBay();
    void UnSwapBay();

    struct QueueEnvelopeFree {
        void operator()(stEnvelope* envelope) const noexcept;
    };

    _msgstat m_msgStat;
    uint32_t m_bufferLen;
    uint32_t m_hdrSize;
    uint32_t m_mqId;
    int m_readErrno = 0; // why the last InitBuffer failed: errno, 0 when the text was empty or too large
    locmail::cclient::BodyPtr m_msgBody;
    std::unique_ptr<char[]> m_msgBuffer;
    locmail::cclient::EnvelopePtr m_msgEnv;
    MQContext* m_mqChannel;
    CMsgStore& m_msgStore;
    char m_recipient[kAddressSize];
    char m_sender[kAddressSize];
    std::unique_ptr<CXScanner> m_xScanner; // null when it could not be made: the pipeline goes without
    CBayesianFilter m_bayesFilter;
    _msgstat m_bayMsgStat;
    uint32_t m_bayBufferLen = 0;
    uint32_t m_bayHdrSize = 0;
    locmail::cclient::BodyPtr m_bayMsgBody;
    std::unique_ptr<char[]> m_bayMsgBuffer;
    locmail::cclient::EnvelopePtr m_bayMsgEnv;
    bool m_baySwapped = false; // the message members hold the working copy
    bool m_outcomeLogged = false; // the recipient in hand has its outcome line
    int m_storeCode = 0;          // the store's exception code for the recipient in hand, 0 when none

    // The queue envelope of the message in hand; kept with the message after a
    // stop or an escaping exception, released with it by ReleaseHeldMessage.
    std::unique_ptr<stEnvelope, QueueEnvelopeFree> m_heldEnvelope;
    // Recipients (folded addresses) whose mailbox could not take mail during
    // this walk: their other messages wait too, without another try.
    std::unordered_set<std::string> m_unavailableMailboxes;
};
