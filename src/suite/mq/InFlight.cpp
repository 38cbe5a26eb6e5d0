#include "suite/mq/InFlight.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeRewrite.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"
#include "suite/platform/Flock.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace locmail::mq {
namespace {

// Eight hex digits and a line feed; a cleared record holds blanks instead.
constexpr std::size_t kRecordBytes = 9;
constexpr const char kCleared[] = "        \n";

void CountCrash(const QueuePaths& paths, const std::string& module, uint32_t id)
{
    const std::string envelope = paths.EntryFile(id, ".env");
    UniqueFd lock = LockLinkedFile(envelope);
    if (!lock)
        return; // delivered and removed meanwhile, or held: nothing to count
    ParsedEnvelope parsed = ReadEntryEnvelope(paths, id);
    std::string fault = parsed.fault;
    if (parsed.ok && !parsed.data.key.empty()) {
        parsed.data.crashes += 1;
        if (ReplaceEnvelope(paths, id, parsed.data, envelope, fault)) {
            QueueLog(module, 2, "Queue entry %08X was in hand when its delivery process stopped (%u time%s)",
                     static_cast<unsigned>(id), parsed.data.crashes, parsed.data.crashes == 1 ? "" : "s");
            return;
        }
    }
    if (parsed.ok && parsed.data.key.empty())
        fault = "a version-1 envelope keeps no count";
    QueueLog(module, 2, "Queue entry %08X was in hand when its delivery process stopped; not counted (%s)",
             static_cast<unsigned>(id), fault.c_str());
}

// The id in a record, or 0 for a cleared, empty or unreadable one.
uint32_t RecordedId(int fd)
{
    char text[kRecordBytes + 1] = {};
    ssize_t n = ::pread(fd, text, kRecordBytes, 0);
    if (n != static_cast<ssize_t>(kRecordBytes) || text[8] != '\n')
        return 0;
    auto id = ParseEntryName(std::string_view(text, 8));
    return id && IsValidEntryId(*id) ? *id : 0;
}

} // namespace

InFlightRecord::InFlightRecord(QueuePaths paths, std::string channel, std::string module)
    : paths_(std::move(paths)), channel_(std::move(channel)), module_(std::move(module))
{
}

InFlightRecord::~InFlightRecord()
{
    if (fd_)
        ::unlink(path_.c_str());
}

bool InFlightRecord::Open()
{
    if (fd_ || failed_)
        return static_cast<bool>(fd_);
    if (!IsDirectory(paths_.InFlight()))
        (void)MakeDirectory(paths_.InFlight(), 0750);
    // Made under a dot name and locked before it gets the name sweeps look at.
    std::string draft = PathJoin(paths_.InFlight(), "." + channel_ + ".XXXXXX");
    UniqueFd fd(::mkostemp(draft.data(), O_CLOEXEC));
    std::string name = PathJoin(paths_.InFlight(), std::string_view(draft).substr(paths_.InFlight().size() + 2));
    if (!fd || LockFd(fd.get(), LockKind::Exclusive, 0) != 0 || ::rename(draft.c_str(), name.c_str()) != 0) {
        failed_ = true;
        QueueLog(module_, 2, "Cannot keep a record of the entry in hand in %s (%s); tries that stop the process "
                             "are not counted", paths_.InFlight().c_str(), std::strerror(errno));
        if (fd)
            ::unlink(draft.c_str());
        return false;
    }
    path_ = std::move(name);
    fd_ = std::move(fd);
    return true;
}

void InFlightRecord::Write(const char* text)
{
    if (::pwrite(fd_.get(), text, kRecordBytes, 0) != static_cast<ssize_t>(kRecordBytes))
        marked_ = false;
}

void InFlightRecord::Mark(uint32_t id)
{
    if (!Open())
        return;
    std::string text = EntryName(id) + "\n";
    marked_ = true;
    Write(text.c_str());
}

void InFlightRecord::Clear()
{
    if (!marked_)
        return;
    marked_ = false;
    Write(kCleared);
}

void SweepInFlight(const QueuePaths& paths, const std::string& module)
{
    std::vector<std::string> names;
    if (!ListNames(paths.InFlight(), names))
        return;
    for (const auto& name : names) {
        if (name.front() == '.')
            continue; // a record being made
        std::string path = PathJoin(paths.InFlight(), name);
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd || LockFd(fd.get(), LockKind::Exclusive, 0) != 0 || !StillLinkedAt(fd.get(), path))
            continue; // a live walker's, or taken by another sweep
        if (uint32_t id = RecordedId(fd.get()); id != 0)
            CountCrash(paths, module, id);
        ::unlink(path.c_str());
    }
}

} // namespace locmail::mq
