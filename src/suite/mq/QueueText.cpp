#include "suite/mq/QueueText.h"

#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/NewEntry.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {
namespace {

// Frees the entry's context, discarding the entry unless it was committed.
struct EntryGuard {
    MQContext* entry;
    ~EntryGuard()
    {
        if (entry)
            DiscardMQEntry(entry);
    }
};

bool WriteText(const char* path, const std::string& text)
{
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    return fd && WriteAll(fd.get(), text) && ::close(fd.release()) == 0;
}

QueuedText Failed(std::string fault) { return {0, std::move(fault)}; }

} // namespace

QueuedText QueueText(const std::string& text, const std::string& reversePath,
                     const std::vector<std::string>& recipients, const char* channel, const std::string& lmtpKey)
{
    if (QueueDirectory().empty())
        return Failed("the message queue is not initialised (MQInit has not succeeded)");
    EntryGuard guard{CreateMQEntry()};
    if (guard.entry == nullptr)
        return Failed("no new queue entry could be created");
    const char* path = GetMQPathName(guard.entry, ".msg");
    if (path == nullptr)
        return Failed("the new entry has no message file");
    if (!WriteText(path, text))
        return Failed(std::string(path) + " could not be written (" + std::strerror(errno) + ")");

    EnvelopeBuilder envelope;
    envelope.AddSender(reversePath, channel);
    for (const std::string& rcpt : recipients)
        envelope.AddRecipient(rcpt, channel);
    if (!InsertMQChannel(guard.entry, channel, 255))
        return Failed(std::string("the entry could not be put on the channel ") + channel);
    if (!PutMQEnvelope(guard.entry, envelope.Envelope()))
        return Failed("the queue refused the envelope");
    // Committed here rather than by CloseMQEntry to learn which entry carries the mail (NewEntry.h).
    NewEntry& committing = *guard.entry->entry;
    if (!lmtpKey.empty())
        committing.CameThroughLmtp(lmtpKey);
    if (!committing.Commit())
        return Failed("the queue entry could not be committed");
    return {committing.QueuedId(), ""};
}

} // namespace locmail::mq
