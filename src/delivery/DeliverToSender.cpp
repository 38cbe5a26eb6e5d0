// Returned mail and postmaster notices for a message that could not be
// delivered, composed by CMimeMsg with the queued message attached. Texts are
// composed to fit whatever recipient they name: nothing is cut. None for an
// entry that came through LMTP: its client was refused the recipient and
// returns the mail itself.
#include "delivery/CLocalMail.h"

#include "delivery/StatusCodes.h"
#include "suite/mq/MQapi.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/StoreCodes.h"
#include "suite/vexclass/CMimeMsg.h"
#include "suite/vexclass/CVEXIniSetting.h"

#include <cstdio>
#include <string>

namespace {

using locmail::delivery::kStatusMayNotReceive;
using locmail::delivery::kStatusNoMailbox;
constexpr char kQuoteSeparator = '"';

// printf-style composition with a single %s, sized to fit.
std::string Compose(const char* format, const char* text)
{
    int n = std::snprintf(nullptr, 0, format, text);
    if (n < 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, format, text);
    return out;
}

const char* BounceReasonFormat(int lastError)
{
    switch (lastError) {
    case kStatusNoMailbox: return "No existing mailbox for %s\r\n\r\n";
    case kStatusMayNotReceive: return "\r\n%s is unable to receive mail at this time\r\n\r\n";
    default: return "Mailbox error occurred while delivering message to %s\r\n\r\n";
    }
}

const char* ReturnedMailFormat(int lastError)
{
    if (lastError == kStatusMayNotReceive)
        return "This message was returned to you for the following reason(s):\r\n\r\n"
               "%s is unable to receive mail at this time\r\n\r\n"
               "The original message follows.\r\n\r\n";
    return "This message was returned to you for the following reason(s):\r\n\r\n"
           "Mailbox error encountered while delivering message to %s\r\n\r\n"
           "The original message follows.\r\n\r\n";
}

const char* PostmasterNoticeFormat(int storeError)
{
    namespace codes = locmail::msgstore;
    if (storeError == codes::kCodeUnknownRecipient || storeError == codes::kCodeUnknownSharedMailbox ||
        storeError == codes::kCodeBadAddress)
        return "Unknown recipient:  %s\r\n";
    return "Mailbox error:  %s\r\n";
}

// The queue file of message ID with extension EXT (the queue library reuses its buffer).
std::string QueuePath(uint32_t id, const char* ext)
{
    const char* path = GetMQPathName(id, ext);
    return path ? path : "";
}

// Marks the sender record as returned mail for the length of one bounce.
class ReturnedMailMark {
public:
    ReturnedMailMark(_envFrom& sender, bool mark) : m_sender(sender)
    {
        if (mark)
            m_sender.flags |= locmail::mq::kReturnedMailFlag;
    }
    ~ReturnedMailMark() { m_sender.flags &= ~locmail::mq::kReturnedMailFlag; }
    ReturnedMailMark(const ReturnedMailMark&) = delete;
    ReturnedMailMark& operator=(const ReturnedMailMark&) = delete;

private:
    _envFrom& m_sender;
};

} // namespace

void CLocalMail::DeliverToSender(_envFrom* sender)
{
    if (IsMQLmtpEntry(m_mqChannel))
        return; // the LMTP client returns it, from its reply
    const int reason = GetLastError();
    const std::string text = Compose(BounceReasonFormat(reason), m_recipient);
    ReturnedMailMark mark(*sender, reason == kStatusNoMailbox);
    try {
        CMimeMsg mail(GetModuleName(), kQuoteSeparator);
        mail.Bounce(sender, text.c_str(), QueuePath(m_mqId, "").c_str(), m_recipient);
    }
    catch (const CMimeMsgException& error) {
        PrintLog(1, error.GetLastErrorMsg());
    }
}

void CLocalMail::DeliverToSender()
{
    if (IsMQLmtpEntry(m_mqChannel))
        return;
    try {
        const std::string postmaster = CVEXIniSetting().GetPostmaster();
        CMimeMsg mail(GetModuleName(), kQuoteSeparator);
        const int reason = GetLastError();
        std::string recipients = m_sender;
        if (reason == kStatusMayNotReceive)
            recipients += kQuoteSeparator + postmaster;
        mail.InitRecip(recipients.c_str());
        mail.InitMsgBody(Compose(ReturnedMailFormat(reason), m_recipient).c_str());
        mail.InitAttachment(QueuePath(m_mqId, ".msg").c_str());
        mail.Send(postmaster.c_str(), "Unable to deliver mail");
    }
    catch (const CMimeMsgException& error) {
        PrintLog(1, error.GetLastErrorMsg());
    }
}

void CLocalMail::DeliverToPostmaster()
{
    try {
        CMimeMsg mail(GetModuleName(), ',');
        const std::string notice = Compose(PostmasterNoticeFormat(m_msgStore.GetLastError()), m_recipient);
        mail.SendToPostmaster(notice.c_str(), QueuePath(m_mqId, "").c_str());
    }
    catch (const CMimeMsgException& error) {
        PrintLog(1, error.GetLastErrorMsg());
    }
}
