// The forward action: an unchanged copy of the queued message becomes a new
// queue entry on "localout", from the forwarding user to every address.
#include "rules/CLocalMailsort.h"

#include "delivery/CLocalMail.h"
#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/platform/Files.h"

#include <cstring>
#include <new>

namespace {

constexpr const char* kForwardChannel = "localout";
constexpr int kForwardPriority = 255;

} // namespace

// A short copy (a full disk) is a failure here rather than a shortened
// forward: the caller then keeps the message in the inbox.
bool CLocalMailsort::RulesEngineForwardMsg(char* addresses)
{
    MQContext* entry = CreateMQEntry();
    if (entry == nullptr)
        return false;
    const char* sourcePath = GetMQPathName(m_localMail->GetMQId(), ".msg");
    const std::string source = sourcePath != nullptr ? sourcePath : "";
    const char* targetPath = GetMQPathName(entry, ".msg");
    if (targetPath == nullptr || !locmail::CopyFileOver(source, targetPath)) {
        DiscardMQEntry(entry);
        return false;
    }
    try {
        locmail::mq::EnvelopeBuilder envelope;
        envelope.AddSender(m_localMail->GetRecipient(), kForwardChannel);
        char* saved = nullptr;
        for (char* address = strtok_r(addresses, " ;,", &saved); address != nullptr;
             address = strtok_r(nullptr, " ;,", &saved))
            envelope.AddRecipient(address, kForwardChannel);
        if (!InsertMQChannel(entry, kForwardChannel, kForwardPriority) ||
            !PutMQEnvelope(entry, envelope.Envelope())) {
            DiscardMQEntry(entry);
            return false;
        }
    } catch (const std::bad_alloc&) {
        DiscardMQEntry(entry);
        return false;
    }
    return CloseMQEntry(entry);
}
