#include "suite/vexclass/ReturnedMail.h"

#include "suite/mq/EntryId.h"
#include "suite/mq/Envelope.h"
#include "suite/mq/MQapi.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/vexclass/CMimeMsgException.h"
#include "suite/vexclass/Composing.h"
#include "suite/vexclass/MailQueue.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>

namespace locmail::mime {

namespace {

constexpr const char* kSubject = "Undelivered Mail Returned to Sender";

struct EnvelopeFree {
    void operator()(stEnvelope* envelope) const noexcept { FreeMQEnvelope(envelope); }
};

std::vector<std::string> EntryRecipients(const std::string& queuePath)
{
    std::vector<std::string> out;
    std::string name = queuePath.substr(queuePath.rfind('/') + 1);
    auto id = mq::ParseEntryName(name);
    if (!id)
        return out;
    std::unique_ptr<stEnvelope, EnvelopeFree> envelope(GetMQEnvelope(*id));
    if (!envelope)
        return out;
    for (stEnvNode* node = envelope->rcpt.head; node; node = node->next) {
        auto* rcpt = static_cast<_envRcpt*>(node->item);
        if (rcpt && rcpt->address && *rcpt->address)
            out.emplace_back(rcpt->address);
    }
    return out;
}

bool Mentions(const std::string& text, const std::string& address)
{
    return !address.empty() && ::strcasestr(text.c_str(), address.c_str()) != nullptr;
}

std::vector<std::string> FinalRecipients(const std::string& queuePath, const std::string& reason,
                                         const char* failedRecipient)
{
    if (failedRecipient != nullptr && *failedRecipient != '\0')
        return {failedRecipient};
    std::vector<std::string> all = EntryRecipients(queuePath);
    std::vector<std::string> named;
    for (const std::string& rcpt : all)
        if (Mentions(reason, rcpt))
            named.push_back(rcpt);
    if (!named.empty())
        return named;
    if (!all.empty())
        return all;
    return {"unknown"};
}

// The time the queued text was written, in UTC; empty when the file is gone.
std::string ArrivalDate(const std::string& messagePath)
{
    struct stat st;
    std::tm utc;
    if (::stat(messagePath.c_str(), &st) != 0 || ::gmtime_r(&st.st_mtime, &utc) == nullptr)
        return {};
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::put_time(&utc, "%a, %d %b %Y %H:%M:%S +0000");
    return out.str();
}

// The reason's first line, for the report's Diagnostic-Code.
std::string FirstReasonLine(const std::string& reason)
{
    const auto first = reason.find_first_not_of("\r\n");
    if (first == std::string::npos)
        return {};
    return reason.substr(first, reason.find_first_of("\r\n", first) - first);
}

// The header of TEXT, up to and including the line that ends it.
std::string HeaderOf(const std::string& text)
{
    const auto end = text.find("\r\n\r\n");
    return end == std::string::npos ? text : text.substr(0, end + 2);
}

std::string ExplanationText(const std::string& host, const std::string& reason, bool wholeOriginal)
{
    std::string text = "This is the mail system at " + host +
                       ".\r\n\r\n"
                       "Your message could not be delivered for the following reason:\r\n\r\n";
    // The reason texts come framed in blank lines of their own; one frame is enough.
    auto first = reason.find_first_not_of("\r\n");
    if (first == std::string::npos)
        text += "No reason was given.";
    else
        text += reason.substr(first, reason.find_last_not_of("\r\n") - first + 1);
    text += wholeOriginal ? "\r\n\r\nThe delivery report and your original message are attached.\r\n"
                          : "\r\n\r\nThe delivery report and the header of your original message are attached\r\n"
                            "(the message was too large to be returned whole).\r\n";
    return text;
}

std::string ReadQueuedMessage(const std::string& path)
{
    std::string text;
    if (!ReadWholeFile(path, text)) {
        int error = errno;
        std::string message = "Cannot read the returned message " + path + ": " + std::strerror(error);
        throw CMimeMsgException(error, message.c_str());
    }
    return text;
}

} // namespace

const char* ReturnedMailStatus(const _envFrom& from)
{
    if (from.channel && std::strcmp(from.channel, "DSN") == 0)
        return "5.7.1";
    if (from.flags & mq::kReturnedMailFlag)
        return "5.1.1";
    return "5.2.0";
}

std::string FormatDeliveryStatus(const DeliveryReport& report)
{
    std::string text = "Reporting-MTA: dns; " + report.reportingHost + "\r\n";
    if (!report.arrivalDate.empty())
        text += "Arrival-Date: " + report.arrivalDate + "\r\n";
    for (const std::string& rcpt : report.recipients) {
        text += "\r\nFinal-Recipient: rfc822; " + rcpt + "\r\n";
        text += "Action: failed\r\n";
        text += "Status: " + report.status + "\r\n";
        if (!report.diagnostic.empty())
            text += "Diagnostic-Code: x-locmail; " + report.diagnostic + "\r\n";
    }
    return text;
}

bool SendReturnedMail(const CLogging& logger, const _envFrom* from, const char* reason, const char* queuePath,
                      const Stamps& given, const char* failedRecipient)
{
    std::string path = queuePath ? queuePath : "";
    if (from == nullptr || from->address == nullptr || from->address[0] == '\0') {
        logger.PrintLogMessage(5, "Returned mail for %s not sent: the message has the null reverse path", path.c_str());
        return false;
    }
    Stamps stamps = ResolveStamps(given);
    std::string messagePath = path + ".msg";
    std::string why = reason ? reason : "";
    std::string recipient = Mailbox(from->address, stamps.hostName);

    DeliveryReport report{stamps.hostName, ArrivalDate(messagePath), FinalRecipients(path, why, failedRecipient),
                          ReturnedMailStatus(*from), FirstReasonLine(why)};
    const std::string original = ReadQueuedMessage(messagePath);
    const bool whole = original.size() <= config::ReadNumber(config::kReturnedMessageMaxBytes);
    cclient::Draft draft;
    draft.from = MailerDaemon(stamps.hostName);
    draft.to = {from->address};
    draft.subject = kSubject;
    draft.date = stamps.date;
    draft.messageId = stamps.messageId;
    draft.boundary = stamps.boundary;
    draft.defaultHost = stamps.hostName;
    draft.reportType = "delivery-status";
    draft.extraFields = {"Auto-Submitted: auto-replied"};
    draft.text = ExplanationText(stamps.hostName, why, whole);
    draft.parts.push_back({cclient::PartKind::DeliveryStatus, FormatDeliveryStatus(report), {}});
    if (whole)
        draft.parts.push_back({cclient::PartKind::Message, original, "message.eml"});
    else
        draft.parts.push_back({cclient::PartKind::Headers, HeaderOf(original), {}});

    uint32_t id = QueueMail(Compose(draft), "", {recipient});
    logger.PrintLogMessage(5, "Returned mail for <%s> queued as %08X (status %s)", recipient.c_str(), id,
                           report.status.c_str());
    return true;
}

} // namespace locmail::mime
