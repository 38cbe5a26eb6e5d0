#include "suite/mq/Recovery.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/IdAllocator.h"
#include "suite/mq/InFlight.h"
#include "suite/mq/Quarantine.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/mq/SentRecord.h"
#include "suite/platform/Files.h"
#include "suite/platform/Flock.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace locmail::mq {
namespace {

bool Contains(const std::vector<uint32_t>& sorted, uint32_t id)
{
    return std::binary_search(sorted.begin(), sorted.end(), id);
}

// The file at PATH, locked by us: it exists and no live process holds it.
UniqueFd LockAbandoned(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || LockFd(fd.get(), LockKind::Exclusive, 0) != 0 || !StillLinkedAt(fd.get(), path))
        return UniqueFd();
    return fd;
}

// A rewrite holds the entry's envelope lock from before it creates tmp/ID.new until after the rename.
void SweepRewrites(const QueuePaths& paths, const std::string& module)
{
    std::vector<uint32_t> ids;
    if (!ListEntryIds(paths.Tmp(), ".new", ids))
        return;
    for (uint32_t id : ids) {
        std::string envelope = paths.EntryFile(id, ".env");
        UniqueFd unused = LockAbandoned(envelope);
        if (!unused && FileExists(envelope))
            continue;
        ::unlink(paths.TmpFile(id, ".new").c_str());
        QueueLog(module, 2, "Queue entry %08X left an unfinished envelope rewrite in tmp/; removed",
                 static_cast<unsigned>(id));
    }
}

void SweepTmp(const QueuePaths& paths, const std::string& module)
{
    UniqueFd seq = SeqLock(paths);
    std::vector<uint32_t> envIds, msgIds;
    if (!seq || !ListEntryIds(paths.Tmp(), ".env", envIds) || !ListEntryIds(paths.Tmp(), ".msg", msgIds))
        return;
    for (uint32_t id : envIds) {
        UniqueFd env = LockAbandoned(paths.TmpFile(id, ".env"));
        if (!env)
            continue;
        if (!FileExists(paths.EntryFile(id, ".env")))
            ::unlink(paths.EntryFile(id, ".msg").c_str());
        ::unlink(paths.TmpFile(id, ".msg").c_str());
        ::unlink(paths.TmpFile(id, ".env").c_str());
        QueueLog(module, 2, "Queue entry %08X was left unfinished by a stopped process; removed",
                 static_cast<unsigned>(id));
    }
    for (uint32_t id : msgIds) {
        if (Contains(envIds, id) || FileExists(paths.TmpFile(id, ".env")))
            continue;
        ::unlink(paths.TmpFile(id, ".msg").c_str());
        QueueLog(module, 2, "Queue entry %08X left a message text in tmp/; removed", static_cast<unsigned>(id));
    }
}

std::vector<uint32_t> MarkedIds(const QueuePaths& paths)
{
    std::vector<uint32_t> all, ids;
    std::vector<std::string> channels;
    if (!ListSubfolders(paths.Channels(), channels))
        return all;
    for (const auto& channel : channels) {
        if (NormaliseChannelName(channel) != channel)
            continue; // a folder no channel name gives: not ours
        if (ListEntryIds(paths.Channel(channel), "", ids))
            all.insert(all.end(), ids.begin(), ids.end());
    }
    std::sort(all.begin(), all.end());
    return all;
}

void RestoreMarkers(const QueuePaths& paths, const std::string& module, uint32_t id)
{
    UniqueFd env = LockAbandoned(paths.EntryFile(id, ".env"));
    if (!env)
        return;
    // A removal takes the marker, then the text, then the envelope: an envelope
    // left alone on no channel is a removal that a stopped process did not finish.
    if (!FileExists(paths.EntryFile(id, ".msg"))) {
        ::unlink(paths.EntryFile(id, ".env").c_str());
        QueueLog(module, 2, "Queue entry %08X was being removed by a stopped process; removal finished",
                 static_cast<unsigned>(id));
        return;
    }
    EntryCheck check = CheckEntry(paths, id);
    if (!check.ok && check.readError != 0)
        return; // looked at again by the next sweep
    if (!check.ok) {
        QuarantineEntry(paths, module, id, check.fault);
        return;
    }
    for (const auto& route : check.envelope.channels)
        if (FileExists(paths.Marker(route.name, id)))
            return;
    std::string names;
    for (const auto& route : check.envelope.channels) {
        std::string dir = paths.Channel(route.name);
        if (MakeDirectory(dir, 0750) != 0 && errno != EEXIST)
            continue;
        const std::string path = paths.Marker(route.name, id);
        UniqueFd marker(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0640));
        if (marker)
            names += (names.empty() ? "" : ", ") + route.name;
    }
    QueueLog(module, 2, "Queue entry %08X was on no channel; put back on %s", static_cast<unsigned>(id),
             names.empty() ? "none (markers cannot be created)" : names.c_str());
}

void SweepEntries(const QueuePaths& paths, const std::string& module)
{
    std::vector<uint32_t> marked = MarkedIds(paths);
    std::vector<uint32_t> envIds, msgIds;
    if (!ListEntryIds(paths.Entries(), ".env", envIds) || !ListEntryIds(paths.Entries(), ".msg", msgIds))
        return;
    for (uint32_t id : envIds)
        if (!Contains(marked, id))
            RestoreMarkers(paths, module, id);
    for (uint32_t id : msgIds) {
        // A marked entry is the walk's to judge. A builder between its two renames
        // has its envelope in tmp/, so look there before looking in entries/ again.
        if (Contains(envIds, id) || Contains(marked, id) || FileExists(paths.TmpFile(id, ".env")) ||
            FileExists(paths.EntryFile(id, ".env")))
            continue;
        if (FinishInterruptedHold(paths, id)) {
            QueueLog(module, 2, "Queue entry %08X was being held by a stopped process; move to hold/ finished",
                     static_cast<unsigned>(id));
            continue;
        }
        QuarantineEntry(paths, module, id, "envelope is missing");
    }
}

} // namespace

void RecoverQueue(const QueuePaths& paths, const std::string& module)
{
    SweepTmp(paths, module);
    SweepRewrites(paths, module);
    SweepInFlight(paths, module);
    SweepEntries(paths, module);
    PruneSentRecordsWhenDue(paths);
}

} // namespace locmail::mq
