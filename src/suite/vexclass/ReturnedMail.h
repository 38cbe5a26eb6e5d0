// Returned mail: the delivery status notification (RFC 3464) that goes back to
// the envelope sender of a message that could not be delivered. CMimeMsg::Bounce
// and the utility library's BounceMimeMessage both send it through here.
//
// Contract of SendReturnedMail(logger, from, reason, queuePath, stamps):
//  - FROM's address empty or null is the null reverse path: the message was
//    itself returned mail or a notice, and returned mail is never answered.
//    Nothing is sent; a level-5 line goes out under LOGGER's module; false.
//  - Otherwise the message is multipart/report; report-type=delivery-status,
//    From the mail system of the postmaster's host, To FROM's address, with
//    three parts: a text part explaining REASON (null or "" reads as "No
//    reason was given."), a message/delivery-status part and the queued
//    message QUEUEPATH + ".msg" byte for byte as message/rfc822. It is queued
//    on "localout" with the null reverse path, so it cannot loop; true.
//  - The message carries "Auto-Submitted: auto-replied" (RFC 3834), so no
//    responder answers it. The original goes whole only up to [Mail]
//    ReturnedMessageMaxBytes; a larger one is returned as its header alone
//    (text/rfc822-headers), and the text part says so.
//  - The report: Reporting-MTA is this host (LocalHostName, [Gateway]
//    HostName); Arrival-Date the time the queued message file was written; one
//    block per final recipient, each "Action: failed" with the status of
//    ReturnedMailStatus and "Diagnostic-Code: x-locmail;" with REASON's first
//    line. The final recipient is FAILEDRECIPIENT when the caller names it;
//    else the recipients of the queue entry (its envelope, read through the
//    queue library) that REASON names; when REASON names none, all of them;
//    when the entry has no readable envelope, the single recipient "unknown".
// ReturnedMailStatus: kind "DSN" in the record's channel field (a refusal by
// the recipient's filter: spam, a blocked relay) gives 5.7.1; else the flag
// mq::kReturnedMailFlag (0x80: no mailbox for the recipient) 5.1.1; anything
// else 5.2.0 (a mailbox problem the flags do not tell apart: disabled or failing).
// Failure modes: SendReturnedMail throws CMimeMsgException when the queued
// message cannot be read (errno value), FROM's address is not valid
// (kBadMessage) or the queue refuses (kQueueFailure, see MailQueue.h).
#pragma once

#include "suite/vexclass/CLogging.h"
#include "suite/vexclass/MimeStamps.h"

#include <string>
#include <vector>

struct _envFrom;

namespace locmail::mime {

const char* ReturnedMailStatus(const _envFrom& from);

struct DeliveryReport {
    std::string reportingHost;
    std::string arrivalDate; // empty when not known
    std::vector<std::string> recipients;
    std::string status;
    std::string diagnostic; // the reason's first line; empty: no Diagnostic-Code
};

// The message/delivery-status text of REPORT, CRLF line ends.
std::string FormatDeliveryStatus(const DeliveryReport& report);

bool SendReturnedMail(const CLogging& logger, const _envFrom* from, const char* reason, const char* queuePath,
                      const Stamps& stamps, const char* failedRecipient = nullptr);

} // namespace locmail::mime
