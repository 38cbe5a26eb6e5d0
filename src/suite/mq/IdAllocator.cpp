#include "suite/mq/IdAllocator.h"

#include "suite/mq/EntryId.h"
#include "suite/platform/Files.h"
#include "suite/platform/Flock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace locmail::mq {
namespace {

// Far more ids than a queue directory can hold files for: reaching it means
// the id space is exhausted or something else is badly wrong.
constexpr uint32_t kMaxSkips = 1u << 22;

uint32_t ReadLastId(int fd)
{
    char text[32] = {};
    ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    unsigned value = 0;
    return std::sscanf(text, "%8X", &value) == 1 ? value : 0;
}

void WriteLastId(int fd, uint32_t id)
{
    std::string text = EntryName(id) + "\n";
    // Best effort: a lost update is covered by the existence checks.
    if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
        (void)::ftruncate(fd, static_cast<off_t>(text.size()));
}

uint32_t NextCandidate(uint32_t id)
{
    do
        ++id;
    while (!IsValidEntryId(id));
    return id;
}

bool IdInUse(const QueuePaths& paths, uint32_t id)
{
    return FileExists(paths.EntryFile(id, ".env")) || FileExists(paths.EntryFile(id, ".msg")) ||
           FileExists(paths.TmpFile(id, ".env")) || FileExists(paths.TmpFile(id, ".msg")) ||
           FileExists(paths.HoldFile(id, ".env")) || FileExists(paths.HoldFile(id, ".msg"));
}

} // namespace

UniqueFd SeqLock(const QueuePaths& paths)
{
    UniqueFd fd(::open(paths.Seq().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0640));
    if (fd && LockFd(fd.get(), LockKind::Exclusive, kWaitForever) != 0)
        fd.reset();
    return fd;
}

std::optional<Reservation> ReserveEntryId(const QueuePaths& paths, std::string& fault)
{
    UniqueFd seq = SeqLock(paths);
    if (!seq) {
        fault = "cannot lock " + paths.Seq() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    uint32_t id = ReadLastId(seq.get());
    for (uint32_t tries = 0; tries < kMaxSkips; ++tries) {
        id = NextCandidate(id);
        if (IdInUse(paths, id))
            continue;
        std::string envPath = paths.TmpFile(id, ".env");
        UniqueFd env(::open(envPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0640));
        if (!env) {
            if (errno == EEXIST)
                continue;
            fault = "cannot create " + envPath + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (LockFd(env.get(), LockKind::Exclusive, kWaitForever) != 0) {
            fault = "cannot lock " + envPath + ": " + std::strerror(errno);
            ::unlink(envPath.c_str());
            return std::nullopt;
        }
        WriteLastId(seq.get(), id);
        return Reservation{id, std::move(env)};
    }
    fault = "no free queue entry id";
    return std::nullopt;
}

} // namespace locmail::mq
