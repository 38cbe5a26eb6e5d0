// The forward action: an unchanged copy of the queued message becomes a new
// queue entry on "localout", from the forwarding user to every address.
#include "rules/CLocalMailsort.h"

#include "delivery/CLocalMail.h"
#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr const char* kForwardChannel = "localout";
constexpr int kForwardPriority = 255;
constexpr size_t kCopyBlock = 256;

struct FileClose {
    void operator()(FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

// Copies SOURCE to TARGET byte for byte; false when either cannot be opened or a block is written short.
bool CopyQueuedMessage(const char* source, const char* target)
{
    FilePtr in(std::fopen(source, "rb"));
    if (!in)
        return false;
    FilePtr out(std::fopen(target, "wb"));
    if (!out)
        return false;
    char block[kCopyBlock];
    size_t read = 0;
    while ((read = std::fread(block, 1, sizeof block, in.get())) > 0) {
        if (std::fwrite(block, 1, read, out.get()) != read)
            return false;
    }
    return !std::ferror(in.get()) && std::fclose(out.release()) == 0;
}

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
    if (targetPath == nullptr || !CopyQueuedMessage(source.c_str(), targetPath)) {
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
