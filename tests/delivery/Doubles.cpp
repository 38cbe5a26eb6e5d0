#include "Doubles.h"

#include "suite/mq/ChannelWalk.h"
#include "suite/mq/Envelope.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/NewEntry.h"
#include "suite/mq/OutgoingKey.h"
#include "suite/vexclass/CMimeMsg.h"

#include <memory>

// The queue library, scripted.

namespace {

doubles::Queue& Q() { return doubles::TheQueue(); }
std::size_t walkPosition = 0;

uint32_t Hand(MQContext* channel, const char* call)
{
    Q().calls.push_back(call);
    channel->msgNumber = walkPosition < Q().ids.size() ? Q().ids[walkPosition] : locmail::mq::kNoMessage;
    return channel->msgNumber;
}

} // namespace

MQContext::MQContext() : msgNumber(locmail::mq::kNoMessage) {}
MQContext::~MQContext() = default;

bool MQInit(const char* queueName, const char* moduleName)
{
    Q().calls.push_back(std::string("MQInit ") + queueName + " " + moduleName);
    return Q().initOk;
}

MQContext* OpenMQChannel(const char* channel)
{
    Q().calls.push_back(std::string("Open ") + channel);
    return Q().openOk ? new MQContext : nullptr;
}

bool CloseMQChannel(MQContext* context)
{
    Q().calls.push_back("Close");
    delete context;
    return true;
}

uint32_t GetFirstMessage(MQContext* channel, bool)
{
    walkPosition = 0;
    return Hand(channel, "First");
}

uint32_t GetNextMessage(MQContext* channel, bool)
{
    ++walkPosition;
    return Hand(channel, "Next");
}

const char* GetMQPathName(uint32_t id, const char* ext)
{
    static std::string path;
    path = Q().dir + "/" + std::to_string(id) + ext;
    return path.c_str();
}

stEnvelope* GetMQEnvelope(uint32_t id) { return Q().envelopes.count(id) ? Q().envelopes[id] : nullptr; }

// The envelopes belong to the tests: only the release is recorded.
void FreeMQEnvelope(stEnvelope* envelope)
{
    for (const auto& [id, held] : Q().envelopes)
        if (held == envelope)
            Q().calls.push_back("Free " + std::to_string(id));
}

const char* GetMQDeliveryKey(MQContext* channel)
{
    static std::string key;
    key = "key-" + std::to_string(channel->msgNumber);
    return key.c_str();
}

bool IsMQLmtpEntry(MQContext*) { return Q().lmtp; }

bool DeferMQRecipient(MQContext* channel, unsigned index)
{
    Q().calls.push_back("Defer " + std::to_string(channel->msgNumber) + " " + std::to_string(index));
    return Q().deferOk;
}

bool DeferMQEntry(MQContext* channel)
{
    Q().calls.push_back("DeferAll " + std::to_string(channel->msgNumber));
    return Q().deferOk;
}

bool HoldMQEntry(MQContext* channel, const char* reason)
{
    Q().calls.push_back("Hold " + std::to_string(channel->msgNumber) + " " + reason);
    return true;
}

namespace {

bool Step(const std::string& op, const std::string& args)
{
    Q().calls.push_back(op + " " + args);
    return Q().failOn != op;
}

std::string Addresses(const stEnvList& list)
{
    std::string text;
    for (const stEnvNode* node = list.head; node != nullptr; node = node->next)
        text += (text.empty() ? "" : ",") + std::string(static_cast<const _envRcpt*>(node->item)->address);
    return text;
}

} // namespace

MQContext* CreateMQEntry()
{
    if (!Step("Create", std::to_string(Q().nextEntry)))
        return nullptr;
    auto* entry = new MQContext;
    entry->msgNumber = Q().nextEntry++;
    return entry;
}

const char* GetMQPathName(MQContext* entry, const char* ext) { return GetMQPathName(entry->msgNumber, ext); }

bool InsertMQChannel(MQContext* entry, const char* channel, int priority)
{
    return Step("Insert", std::to_string(entry->msgNumber) + " " + channel + " " + std::to_string(priority));
}

// Sender and recipient records alike start with their address.
bool PutMQEnvelope(MQContext* entry, const stEnvelope* envelope)
{
    return Step("Envelope",
                std::to_string(entry->msgNumber) + " " + Addresses(envelope->from) + "|" + Addresses(envelope->rcpt));
}

bool CloseMQEntry(MQContext* entry)
{
    std::unique_ptr<MQContext> owned(entry);
    const auto key = locmail::mq::NextOutgoingKey();
    return Step("Commit", std::to_string(entry->msgNumber) + (key ? " key " + *key : ""));
}

void DiscardMQEntry(MQContext* entry)
{
    std::unique_ptr<MQContext> owned(entry);
    Q().calls.push_back("Discard " + std::to_string(entry->msgNumber));
}

bool RemoveMQChannel(MQContext* channel)
{
    Q().calls.push_back("Remove " + std::to_string(channel->msgNumber));
    return true;
}

// The mail composer, recording.

struct CMimeMsg::State {};

namespace {

void Record(const std::string& op, const std::string& args)
{
    doubles::TheMime().calls.push_back(op + " " + args);
    if (doubles::TheMime().throwOn == op)
        throw CMimeMsgException(1, ("cannot " + op).c_str());
}

} // namespace

CMimeMsg::CMimeMsg(const char* moduleName, char separator) : CLogging(moduleName)
{
    Record("New", std::string(1, separator));
}
CMimeMsg::~CMimeMsg() = default;
void CMimeMsg::InitRecip(const char* recipients) { Record("InitRecip", recipients); }
void CMimeMsg::InitMsgBody(const char* body) { Record("InitMsgBody", body); }
void CMimeMsg::InitAttachment(const char* path) { Record("InitAttachment", path); }
void CMimeMsg::Send(const char* sender, const char* subject) { Record("Send", std::string(sender) + "|" + subject); }
void CMimeMsg::Send(const char* sender, const char* recipient, const char* subject, const char* body, const char*)
{
    Record("Send", std::string(sender) + "|" + recipient + "|" + subject + "|" + body);
}
void CMimeMsg::MarkAutoReply(const char* messageId, const char* references)
{
    Record("MarkAutoReply", std::string(messageId ? messageId : "") + "|" + (references ? references : ""));
}
void CMimeMsg::SendToPostmaster(const char* body, const char* path)
{
    Record("SendToPostmaster", std::string(body) + "|" + path);
}
void CMimeMsg::Bounce(const _envFrom* from, const char* body, const char* path)
{
    Record("Bounce", std::string(from->address) + "|" + std::to_string(from->flags) + "|" + body + "|" + path);
}

// The failed recipient goes into the report; what the agent tells apart is the rest.
void CMimeMsg::Bounce(const _envFrom* from, const char* body, const char* path, const char*)
{
    Bounce(from, body, path);
}
