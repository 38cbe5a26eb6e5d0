// CMimeMsg: composes a mail message and hands it to the message queue on the
// channel "localout". It never talks to the network.
//
// Ordinary mail (Send, SendToPostmaster) is an RFC 5322 message from the given
// sender; returned mail (Bounce) is a delivery status notification (RFC 3464,
// multipart/report; report-type=delivery-status) with the original message
// attached, sent with the null reverse path so that it cannot loop.
// Recipient lists given to InitRecip are split at the separator given to the
// constructor ("," or the double quote, code 34); items lose their blanks and
// empty items are dropped. The five-text Send splits its recipient the same way.
// InitAttachment reads the file at once: a name ending in ".msg" (a queued
// message) is attached as message/rfc822, any other file as
// application/octet-stream. Ordinary mail is queued with the sender's address
// as its reverse path; postmaster notices, like returned mail, with the null
// reverse path. ReturnedMail.h details the returned mail, MailQueue.h the
// queueing (MQInit must have succeeded in this process).
// Failure modes: every operation throws CMimeMsgException when the message cannot be
// composed (a missing attachment file, no recipient) or queued. Bounce for a
// message whose sender is the null reverse path sends nothing and only logs.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"
#include "suite/vexclass/CMimeMsgException.h"
#include "suite/vexclass/MimeStamps.h"

#include <memory>

struct _envFrom;

class LOCMAIL_EXPORT CMimeMsg : public CLogging {
public:
    CMimeMsg(const char* moduleName, char separator);
    // For tests: fixed Date, Message-ID, boundary and host name (MimeStamps.h).
    CMimeMsg(const char* moduleName, char separator, const locmail::mime::Stamps& stamps);
    ~CMimeMsg() override;
    CMimeMsg(const CMimeMsg&) = delete;
    CMimeMsg& operator=(const CMimeMsg&) = delete;

    void InitRecip(const char* recipients);
    void InitMsgBody(const char* body);
    void InitAttachment(const char* path);

    // The message set up by the Init calls, from SENDER with SUBJECT.
    void Send(const char* sender, const char* subject);
    // Makes the next five-text Send an automatic reply (RFC 3834, RFC 5230) to
    // the message with MESSAGEID and REFERENCES (either may be null): it carries
    // Auto-Submitted: auto-replied, In-Reply-To and References, and goes with
    // the null reverse path so that nothing answers it.
    void MarkAutoReply(const char* messageId, const char* references);
    // One message composed from the arguments; RESERVED is null.
    void Send(const char* sender, const char* recipient, const char* subject, const char* body, const char* reserved);
    // A notice with BODY to the postmaster ([Mail] Postmaster), the file at ATTACHMENTPATH attached.
    void SendToPostmaster(const char* body, const char* attachmentPath);
    // Returned mail to the envelope sender FROM, explaining BODY, with the queued
    // message at QUEUEFILEPATH attached.
    void Bounce(const _envFrom* from, const char* body, const char* queueFilePath);
    // The same for the one recipient whose delivery failed (its report's Final-Recipient).
    void Bounce(const _envFrom* from, const char* body, const char* queueFilePath, const char* failedRecipient);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
