#include "suite/mq/NewEntry.h"

#include "suite/mq/DeliveryKey.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeConvert.h"
#include "suite/mq/IdAllocator.h"
#include "suite/mq/OutgoingKey.h"
#include "suite/mq/QueueClock.h"
#include "suite/mq/QueueState.h"
#include "suite/mq/SentRecord.h"
#include "suite/mq/StepObserver.h"
#include "suite/platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace locmail::mq {
namespace {

bool EnsureDirectory(const std::string& path)
{
    return MakeDirectory(path, 0750) == 0 || (errno == EEXIST && IsDirectory(path));
}

} // namespace

std::unique_ptr<NewEntry> NewEntry::Create(const QueuePaths& paths, std::string module)
{
    std::string fault;
    auto reservation = ReserveEntryId(paths, fault);
    if (!reservation) {
        QueueLog(module, 1, "Cannot create a queue entry: %s", fault.c_str());
        return nullptr;
    }
    std::unique_ptr<NewEntry> entry(
        new NewEntry(paths, std::move(module), reservation->id, std::move(reservation->envelope)));
    NotifyStep("reserved");
    return entry;
}

NewEntry::NewEntry(QueuePaths paths, std::string module, uint32_t id, UniqueFd envelopeFd)
    : paths_(std::move(paths)), module_(std::move(module)), id_(id), queuedId_(id), envelopeFd_(std::move(envelopeFd))
{
}

NewEntry::~NewEntry()
{
    if (!finished_)
        Discard();
}

const char* NewEntry::TextPath(std::string_view ext)
{
    if (ext != "" && ext != ".msg")
        return nullptr;
    pathBuffer_ = paths_.TmpFile(id_, ext);
    return pathBuffer_.c_str();
}

bool NewEntry::Fail(const char* what, int err)
{
    QueueLog(module_, 1, "Queue entry %08X not committed: %s%s%s", static_cast<unsigned>(id_), what,
             err ? ": " : "", err ? std::strerror(err) : "");
    return false;
}

bool NewEntry::AddChannel(const char* name, int priority)
{
    if (finished_)
        return false;
    auto channel = NormaliseChannelName(name ? name : "");
    if (!channel) {
        QueueLog(module_, 1, "Queue entry %08X: \"%s\" is not a valid channel name", static_cast<unsigned>(id_),
                 name ? name : "");
        return false;
    }
    if (!EnsureDirectory(paths_.Channel(*channel))) {
        QueueLog(module_, 1, "Queue entry %08X: cannot create channel %s: %s", static_cast<unsigned>(id_),
                 channel->c_str(), std::strerror(errno));
        return false;
    }
    for (auto& route : envelope_.channels) {
        if (route.name == *channel) {
            route.priority = priority;
            return true;
        }
    }
    envelope_.channels.push_back({std::move(*channel), priority});
    return true;
}

bool NewEntry::SetEnvelope(const stEnvelope* envelope)
{
    if (finished_ || envelope == nullptr)
        return false;
    EnvelopeData data;
    std::string fault;
    if (!ReadCallerEnvelope(*envelope, data, fault)) {
        QueueLog(module_, 1, "Queue entry %08X: envelope refused: %s", static_cast<unsigned>(id_), fault.c_str());
        return false;
    }
    envelope_.senders = std::move(data.senders);
    envelope_.recipients = std::move(data.recipients);
    haveEnvelope_ = true;
    return true;
}

bool NewEntry::SyncText()
{
    UniqueFd text(::open(paths_.TmpFile(id_, ".msg").c_str(), O_RDONLY | O_CLOEXEC));
    if (!text)
        return Fail(errno == ENOENT ? "the message text was not written" : "cannot open the message text",
                    errno == ENOENT ? 0 : errno);
    struct stat st;
    if (::fstat(text.get(), &st) != 0)
        return Fail("cannot stat the message text", errno);
    if (!lmtpKey_ && !Fsync(text.get()))
        return Fail("cannot sync the message text", errno);
    envelope_.messageSize = static_cast<uint64_t>(st.st_size);
    return true;
}

bool NewEntry::SettleKey(std::optional<std::string> outgoingKey)
{
    if (!outgoingKey)
        return NewDeliveryKey(envelope_.key) || Fail("cannot draw a delivery key", errno);
    envelope_.key = std::move(*outgoingKey);
    SentCheck sent = CheckAndRecordSent(paths_, envelope_.key, id_);
    if (sent.queuedAs) {
        queuedId_ = *sent.queuedAs;
        return true;
    }
    if (!sent.fault.empty())
        QueueLog(module_, 1, "Queue entry %08X: its key cannot be recorded (%s); a crash could queue it twice",
                 static_cast<unsigned>(id_), sent.fault.c_str());
    NotifyStep("recorded");
    return true;
}

bool NewEntry::WriteEnvelope()
{
    envelope_.arrived = QueueNowSeconds();
    std::string text = FormatEnvelopeFile(envelope_);
    int fd = envelopeFd_.get();
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, text))
        return Fail("cannot write the envelope", errno);
    if (!lmtpKey_ && !Fsync(fd))
        return Fail("cannot sync the envelope", errno);
    return true;
}

bool NewEntry::CreateMarkers()
{
    for (const auto& route : envelope_.channels) {
        std::string marker = paths_.Marker(route.name, id_);
        if (!EnsureDirectory(paths_.Channel(route.name)))
            return Fail("cannot create the channel folder", errno);
        UniqueFd fd(::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0640));
        if (!fd)
            return Fail("cannot create the channel marker", errno);
        markersMade_.push_back(std::move(marker));
        NotifyStep("marker-created");
    }
    return true;
}

bool NewEntry::Prepare(std::optional<std::string> outgoingKey)
{
    if (!haveEnvelope_)
        return Fail("no envelope was given", 0);
    if (envelope_.channels.empty())
        return Fail("it is on no channel", 0);
    if (!SyncText())
        return false;
    NotifyStep("text-synced");
    return SettleKey(std::move(outgoingKey));
}

bool NewEntry::Publish()
{
    if (!WriteEnvelope())
        return false;
    NotifyStep("envelope-synced");
    if (::rename(paths_.TmpFile(id_, ".msg").c_str(), paths_.EntryFile(id_, ".msg").c_str()) != 0)
        return Fail("cannot move the message text into entries", errno);
    textRenamed_ = true;
    NotifyStep("text-renamed");
    if (::rename(paths_.TmpFile(id_, ".env").c_str(), paths_.EntryFile(id_, ".env").c_str()) != 0)
        return Fail("cannot move the envelope into entries", errno);
    envelopeRenamed_ = true;
    NotifyStep("envelope-renamed");
    if (!lmtpKey_ && !FsyncDirectory(paths_.Entries()))
        return Fail("cannot sync the entries folder", errno);
    NotifyStep("entries-synced");
    return CreateMarkers();
}

bool NewEntry::Commit()
{
    if (finished_)
        return false;
    // Taken first, so that a commit that fails still counts in its scope.
    std::optional<std::string> outgoingKey = lmtpKey_ ? lmtpKey_ : NextOutgoingKey();
    envelope_.lmtp = lmtpKey_.has_value();
    if (!Prepare(std::move(outgoingKey)) || (queuedId_ == id_ && !Publish())) {
        RollBack();
        return false;
    }
    if (queuedId_ != id_) {
        QueueLog(module_, 5, "Queue entry %08X dropped: its mail is queued already as %08X (key %s)",
                 static_cast<unsigned>(id_), static_cast<unsigned>(queuedId_), envelope_.key.c_str());
        Discard();
        return true;
    }
    finished_ = true;
    envelopeFd_.reset();
    NotifyStep("committed");
    return true;
}

void NewEntry::RollBack()
{
    for (const auto& marker : markersMade_)
        ::unlink(marker.c_str());
    ::unlink((textRenamed_ ? paths_.EntryFile(id_, ".msg") : paths_.TmpFile(id_, ".msg")).c_str());
    // The envelope goes last: it is the reservation of the id.
    ::unlink((envelopeRenamed_ ? paths_.EntryFile(id_, ".env") : paths_.TmpFile(id_, ".env")).c_str());
    finished_ = true;
    envelopeFd_.reset();
}

void NewEntry::Discard()
{
    if (finished_)
        return;
    ::unlink(paths_.TmpFile(id_, ".msg").c_str());
    ::unlink(paths_.TmpFile(id_, ".env").c_str());
    finished_ = true;
    envelopeFd_.reset();
}

} // namespace locmail::mq
