#include "suite/mq/MQapi.h"

#include "suite/mq/ChannelWalk.h"
#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EnvelopeConvert.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/NewEntry.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/QueueState.h"
#include "suite/mq/WalkRegistry.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"

#include <string>

using namespace locmail::mq;

namespace {

constexpr unsigned long kConfigPathSize = 4096;

// The queue directory a queue name stands for; empty (logged) when there is none.
std::string ResolveQueueDirectory(const std::string& queueName, const std::string& module)
{
    if (!queueName.empty() && queueName.front() == '/')
        return queueName;
    namespace config = locmail::config;
    char configured[kConfigPathSize];
    unsigned long n = GetPrivateProfileStringA(config::kQueueDirectory.section, config::kQueueDirectory.name,
                                               config::kQueueDirectory.fallback, configured, sizeof configured,
                                               config::kConfigFile);
    if (n == 0) {
        QueueLog(module, 1, "Message queue directory not configured ([Gateway] QueueDirectory in qxmta.ini)");
        return {};
    }
    if (n >= kConfigPathSize - 1 || configured[0] != '/') {
        QueueLog(module, 1, "Message queue directory \"%s\" is not an absolute path", configured);
        return {};
    }
    return configured;
}

bool IsEntry(const MQContext* context) { return context != nullptr && context->entry != nullptr; }
bool IsChannel(const MQContext* context) { return context != nullptr && context->walk != nullptr; }

// The calls that name an entry by id alone now mean this walk's queue (QueueState.h).
uint32_t Publish(MQContext* channel, uint32_t id)
{
    channel->msgNumber = channel->walk->Current();
    EnterWalkQueue(channel->walk.get(), {channel->walk->Paths().Dir(), channel->walk->Module()});
    return id;
}

} // namespace

MQContext::MQContext() : msgNumber(kNoMessage) {}
MQContext::~MQContext()
{
    if (walk) {
        UnregisterWalk(walk.get());
        LeaveWalkQueue(walk.get());
    }
}

bool MQInit(const char* queueName, const char* moduleName)
{
    std::string module = moduleName && *moduleName ? moduleName : kDefaultModule;
    std::string dir = ResolveQueueDirectory(queueName ? queueName : "", module);
    if (dir.empty())
        return false;
    std::string fault = CheckQueueLayout(dir);
    if (!fault.empty()) {
        QueueLog(module, 1, "Cannot use the message queue: %s", fault.c_str());
        return false;
    }
    SetQueueSettings({std::move(dir), std::move(module)});
    return true;
}

MQContext* OpenMQChannel(const char* channel)
{
    QueueSettings queue = CurrentQueue();
    if (queue.dir.empty())
        return nullptr;
    auto name = NormaliseChannelName(channel ? channel : "");
    if (!name) {
        QueueLog(queue.module, 1, "\"%s\" is not a valid queue channel name", channel ? channel : "");
        return nullptr;
    }
    QueuePaths paths(queue.dir);
    std::string dir = paths.Channel(*name);
    if (!locmail::IsDirectory(dir) && locmail::MakeDirectory(dir, 0750) != 0 && !locmail::IsDirectory(dir)) {
        QueueLog(queue.module, 1, "Cannot create queue channel folder %s", dir.c_str());
        return nullptr;
    }
    auto context = std::make_unique<MQContext>();
    context->walk = std::make_unique<ChannelWalk>(std::move(paths), std::move(*name), queue.module);
    RegisterWalk(context->walk.get());
    return context.release();
}

bool CloseMQChannel(MQContext* context)
{
    delete context;
    return true;
}

uint32_t GetFirstMessage(MQContext* channel, bool)
{
    if (!IsChannel(channel))
        return kQueueUnreachable;
    return Publish(channel, channel->walk->First());
}

uint32_t GetNextMessage(MQContext* channel, bool)
{
    if (!IsChannel(channel))
        return kQueueUnreachable;
    return Publish(channel, channel->walk->Next());
}

const char* GetMQPathName(uint32_t id, const char* ext)
{
    thread_local std::string path;
    std::string dir = QueueDirectory();
    if (dir.empty())
        return nullptr;
    path = QueuePaths(dir).EntryFile(id, ext ? ext : "");
    return path.c_str();
}

const char* GetMQPathName(MQContext* entry, const char* ext)
{
    if (!IsEntry(entry))
        return nullptr;
    return entry->entry->TextPath(ext ? ext : "");
}

stEnvelope* GetMQEnvelope(uint32_t id)
{
    QueueSettings queue = CurrentQueue();
    if (queue.dir.empty())
        return nullptr;
    if (stEnvelope* claimed = ClaimedEnvelopeCopy(queue.dir, id))
        return claimed;
    ParsedEnvelope parsed = ReadEntryEnvelope(QueuePaths(queue.dir), id);
    if (!parsed.ok) {
        QueueLog(queue.module, 2, "Queue entry %08X: %s", static_cast<unsigned>(id), parsed.fault.c_str());
        return nullptr;
    }
    return NewOwnedEnvelope(parsed.data);
}

void FreeMQEnvelope(stEnvelope* envelope) { DeleteOwnedEnvelope(envelope); }

bool RemoveMQChannel(MQContext* channel)
{
    return IsChannel(channel) && channel->walk->RemoveCurrent();
}

const char* GetMQDeliveryKey(MQContext* channel)
{
    return IsChannel(channel) ? channel->walk->DeliveryKey() : nullptr;
}

bool IsMQLmtpEntry(MQContext* channel)
{
    if (!IsChannel(channel))
        return false;
    const locmail::mq::EnvelopeData* envelope = channel->walk->ClaimedEnvelope(channel->walk->Current());
    return envelope != nullptr && envelope->lmtp;
}

bool DeferMQRecipient(MQContext* channel, unsigned index)
{
    return IsChannel(channel) && channel->walk->Defer(index);
}

bool DeferMQEntry(MQContext* channel) { return IsChannel(channel) && channel->walk->DeferAll(); }

bool HoldMQEntry(MQContext* channel, const char* reason)
{
    return IsChannel(channel) && channel->walk->HoldCurrent(reason ? reason : "no reason given");
}

std::time_t EarliestDeferredAttempt() { return EarliestDeferredOfWalks(); }

bool FlushFinishedEntries() { return FinishEveryPendingBatch(); }

std::vector<uint32_t> QueuedEntryIds(const char* channel)
{
    std::vector<uint32_t> ids;
    std::string dir = QueueDirectory();
    auto name = NormaliseChannelName(channel ? channel : "");
    if (dir.empty() || !name || !ListEntryIds(QueuePaths(dir).Channel(*name), "", ids))
        ids.clear();
    return ids;
}

MQContext* CreateMQEntry()
{
    QueueSettings queue = CurrentQueue();
    if (queue.dir.empty())
        return nullptr;
    auto entry = NewEntry::Create(QueuePaths(queue.dir), queue.module);
    if (!entry)
        return nullptr;
    auto context = std::make_unique<MQContext>();
    context->entry = std::move(entry);
    return context.release();
}

bool InsertMQChannel(MQContext* entry, const char* channel, int priority)
{
    return IsEntry(entry) && entry->entry->AddChannel(channel, priority);
}

bool PutMQEnvelope(MQContext* entry, const stEnvelope* envelope)
{
    return IsEntry(entry) && entry->entry->SetEnvelope(envelope);
}

bool CloseMQEntry(MQContext* entry)
{
    if (!IsEntry(entry))
        return false;
    bool committed = entry->entry->Commit();
    delete entry;
    return committed;
}

void DiscardMQEntry(MQContext* entry)
{
    if (!IsEntry(entry))
        return;
    entry->entry->Discard();
    delete entry;
}
