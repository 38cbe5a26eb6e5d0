#include "suite/vexclass/MailQueue.h"

#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/NewEntry.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"
#include "suite/vexclass/CMimeMsgException.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace locmail::mime {

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    throw CMimeMsgException(CMimeMsgException::kQueueFailure, text.c_str());
}

// Discards the entry unless it was handed to CloseMQEntry, which frees it either way.
struct EntryGuard {
    MQContext* entry;
    ~EntryGuard()
    {
        if (entry)
            DiscardMQEntry(entry);
    }
    MQContext* Commit() { return std::exchange(entry, nullptr); }
};

bool WriteText(const char* path, const std::string& text)
{
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    return fd && WriteAll(fd.get(), text) && ::close(fd.release()) == 0;
}

} // namespace

uint32_t QueueMail(const std::string& text, const std::string& reversePath,
                   const std::vector<std::string>& recipients)
{
    if (mq::QueueDirectory().empty())
        Fail("Cannot queue mail: the message queue is not initialised (MQInit has not succeeded)");
    EntryGuard guard{CreateMQEntry()};
    if (guard.entry == nullptr)
        Fail("Cannot queue mail: no new queue entry could be created");
    const char* path = GetMQPathName(guard.entry, ".msg");
    if (path == nullptr)
        Fail("Cannot queue mail: the new entry has no message file");
    if (!WriteText(path, text))
        Fail(std::string("Cannot queue mail: ") + path + " could not be written (" + std::strerror(errno) + ")");

    mq::EnvelopeBuilder envelope;
    envelope.AddSender(reversePath, kOutgoingChannel);
    for (const std::string& rcpt : recipients)
        envelope.AddRecipient(rcpt, kOutgoingChannel);
    if (!InsertMQChannel(guard.entry, kOutgoingChannel, 255))
        Fail("Cannot queue mail: the entry could not be put on the channel localout");
    if (!PutMQEnvelope(guard.entry, envelope.Envelope()))
        Fail("Cannot queue mail: the queue refused the envelope");
    uint32_t id = guard.entry->entry ? guard.entry->entry->Id() : 0;
    if (!CloseMQEntry(guard.Commit()))
        Fail("Cannot queue mail: the queue entry could not be committed");
    return id;
}

} // namespace locmail::mime
