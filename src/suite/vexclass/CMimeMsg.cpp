#include "suite/vexclass/CMimeMsg.h"

#include "suite/vexclass/CVEXIniSetting.h"
#include "suite/vexclass/Composing.h"
#include "suite/vexclass/HostName.h"
#include "suite/vexclass/MailQueue.h"
#include "suite/vexclass/ReturnedMail.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

using locmail::cclient::Draft;
using locmail::cclient::DraftPart;

namespace {

constexpr const char* kPostmasterSubject = "Undeliverable mail notice";

std::vector<std::string> SplitList(const char* list, char separator)
{
    std::vector<std::string> items;
    std::string_view rest(list ? list : "");
    while (true) {
        auto end = rest.find(separator);
        std::string_view item = rest.substr(0, end);
        auto first = item.find_first_not_of(" \t");
        if (first != std::string_view::npos)
            items.emplace_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
        if (end == std::string_view::npos)
            return items;
        rest.remove_prefix(end + 1);
    }
}

[[noreturn]] void BadMessage(const char* text) { throw CMimeMsgException(CMimeMsgException::kBadMessage, text); }

} // namespace

struct CMimeMsg::State {
    char separator;
    locmail::mime::Stamps stamps;
    std::vector<std::string> recipients;
    std::string body;
    std::optional<DraftPart> attachment;
    bool autoReply = false;
    std::string inReplyTo;
    std::string references;

    // Each message gets its own Message-ID.
    Draft NewDraft(const std::string& from, const std::vector<std::string>& to, const char* subject,
                   const char* text) const
    {
        locmail::mime::Stamps live = locmail::mime::ResolveStamps(stamps);
        Draft draft;
        draft.from = from;
        draft.to = to;
        draft.subject = subject ? subject : "";
        draft.text = text ? text : "";
        draft.date = live.date;
        draft.messageId = live.messageId;
        draft.boundary = live.boundary;
        draft.defaultHost = live.hostName;
        return draft;
    }

    // Composes DRAFT and queues it for its recipients with REVERSEPATH ("" or an address).
    uint32_t Queue(const Draft& draft, const std::string& reversePath) const
    {
        if (draft.to.empty())
            BadMessage("Cannot send the message: it has no recipient");
        std::vector<std::string> envelope;
        for (const std::string& rcpt : draft.to)
            envelope.push_back(locmail::mime::Mailbox(rcpt, draft.defaultHost));
        std::string from = reversePath.empty() ? "" : locmail::mime::Mailbox(reversePath, draft.defaultHost);
        return locmail::mime::QueueMail(locmail::mime::Compose(draft), from, envelope);
    }
};

CMimeMsg::CMimeMsg(const char* moduleName, char separator) : CMimeMsg(moduleName, separator, {}) {}

CMimeMsg::CMimeMsg(const char* moduleName, char separator, const locmail::mime::Stamps& stamps)
    : CLogging(moduleName), m_state(std::make_unique<State>())
{
    m_state->separator = separator;
    m_state->stamps = stamps;
    // The host name is looked up once; Message-IDs are made per message.
    if (m_state->stamps.hostName.empty())
        m_state->stamps.hostName = locmail::LocalHostName();
}

CMimeMsg::~CMimeMsg() = default;

void CMimeMsg::InitRecip(const char* recipients) { m_state->recipients = SplitList(recipients, m_state->separator); }

void CMimeMsg::InitMsgBody(const char* body) { m_state->body = body ? body : ""; }

void CMimeMsg::InitAttachment(const char* path) { m_state->attachment = locmail::mime::ReadAttachment(path); }

void CMimeMsg::Send(const char* sender, const char* subject)
{
    if (sender == nullptr || *sender == '\0')
        BadMessage("Cannot send the message: no sender was given");
    Draft draft = m_state->NewDraft(sender, m_state->recipients, subject, m_state->body.c_str());
    if (m_state->attachment)
        draft.parts.push_back(*m_state->attachment);
    uint32_t id = m_state->Queue(draft, sender);
    PrintLogMessage(5, "Message from <%s> queued as %08X for %zu recipient(s)", sender, id, draft.to.size());
}

void CMimeMsg::Send(const char* sender, const char* recipient, const char* subject, const char* body,
                    const char* /*reserved*/)
{
    if (sender == nullptr || *sender == '\0')
        BadMessage("Cannot send the message: no sender was given");
    Draft draft = m_state->NewDraft(sender, SplitList(recipient, m_state->separator), subject, body);
    if (m_state->autoReply) {
        draft.inReplyTo = m_state->inReplyTo;
        draft.references = m_state->references;
        draft.extraFields.push_back("Auto-Submitted: auto-replied");
    }
    uint32_t id = m_state->Queue(draft, m_state->autoReply ? "" : sender);
    PrintLogMessage(5, "Message from <%s> queued as %08X for %zu recipient(s)", sender, id, draft.to.size());
}

void CMimeMsg::MarkAutoReply(const char* messageId, const char* references)
{
    m_state->autoReply = true;
    m_state->inReplyTo = messageId ? messageId : "";
    m_state->references = references ? references : "";
    if (!m_state->inReplyTo.empty())
        m_state->references += (m_state->references.empty() ? "" : " ") + m_state->inReplyTo;
}

void CMimeMsg::SendToPostmaster(const char* body, const char* attachmentPath)
{
    std::string postmaster = CVEXIniSetting().GetPostmaster();
    Draft draft = m_state->NewDraft(locmail::mime::MailerDaemon(m_state->stamps.hostName), {postmaster},
                                    kPostmasterSubject, body);
    if (attachmentPath && *attachmentPath)
        draft.parts.push_back(locmail::mime::ReadAttachment((std::string(attachmentPath) + ".msg").c_str()));
    // Null reverse path: a notice that cannot be delivered must not come back here.
    uint32_t id = m_state->Queue(draft, "");
    PrintLogMessage(5, "Notice to the postmaster <%s> queued as %08X", postmaster.c_str(), id);
}

void CMimeMsg::Bounce(const _envFrom* from, const char* body, const char* queueFilePath)
{
    locmail::mime::SendReturnedMail(*this, from, body, queueFilePath, m_state->stamps);
}

void CMimeMsg::Bounce(const _envFrom* from, const char* body, const char* queueFilePath, const char* failedRecipient)
{
    locmail::mime::SendReturnedMail(*this, from, body, queueFilePath, m_state->stamps, failedRecipient);
}
