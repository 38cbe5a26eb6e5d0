#include "suite/mq/Quarantine.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace locmail::mq {
namespace {

// The first base name under corrupt/ at which neither file of the entry exists yet.
std::string FreeCorruptBase(const QueuePaths& paths, uint32_t id)
{
    std::string base = PathJoin(paths.Corrupt(), EntryName(id));
    std::string candidate = base;
    for (int n = 2; FileExists(candidate + ".msg") || FileExists(candidate + ".env"); ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

} // namespace

void DropMarkers(const QueuePaths& paths, uint32_t id)
{
    std::vector<std::string> channels;
    if (!ListSubfolders(paths.Channels(), channels))
        return;
    for (const auto& channel : channels)
        ::unlink(paths.Marker(channel, id).c_str());
}

void QuarantineEntry(const QueuePaths& paths, const std::string& module, uint32_t id, const std::string& fault)
{
    if (!IsDirectory(paths.Corrupt()))
        (void)MakeDirectory(paths.Corrupt(), 0750);
    std::string target = FreeCorruptBase(paths, id);
    int moved = 0;
    std::string stuck;
    for (const char* ext : {".msg", ".env"}) {
        std::string from = paths.EntryFile(id, ext);
        if (::rename(from.c_str(), (target + ext).c_str()) == 0)
            ++moved;
        else if (errno != ENOENT)
            stuck += std::string(stuck.empty() ? "" : ", ") + from + ": " + std::strerror(errno);
    }
    DropMarkers(paths, id);
    unsigned shown = static_cast<unsigned>(id);
    if (!stuck.empty())
        QueueLog(module, 1, "Queue entry %08X is damaged (%s); markers dropped, could not move %s", shown,
                 fault.c_str(), stuck.c_str());
    else if (moved > 0)
        QueueLog(module, 1, "Queue entry %08X is damaged (%s); moved to corrupt/", shown, fault.c_str());
    else
        QueueLog(module, 1, "Queue entry %08X is damaged (%s); markers dropped", shown, fault.c_str());
}

} // namespace locmail::mq
