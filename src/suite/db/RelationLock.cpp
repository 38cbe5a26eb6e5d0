#include "suite/db/RelationLock.h"

#include "suite/platform/ForkGeneration.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>

namespace locmail::db {
namespace {

struct Holder {
    unsigned generation; // ForkGeneration() of the process that took the lock
    UniqueFd fd;
    int depth;
    bool shared;
};

using Key = std::tuple<dev_t, ino_t, std::thread::id>;

std::mutex g_mutex;
std::map<Key, Holder> g_held;

// Finds this thread's holding of PATH; drops one inherited through fork().
Holder* FindHeld(const Key& key)
{
    auto it = g_held.find(key);
    if (it == g_held.end())
        return nullptr;
    if (it->second.generation != ForkGeneration()) {
        g_held.erase(it); // closing our copy leaves the parent's lock alone
        return nullptr;
    }
    return &it->second;
}

} // namespace

int AcquireRelationLock(const std::string& path, bool shared, unsigned long ms, LockKey* keyOut)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return errno;
    const Key key{st.st_dev, st.st_ino, std::this_thread::get_id()};
    if (keyOut != nullptr)
        *keyOut = LockKey{st.st_dev, st.st_ino};
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (Holder* held = FindHeld(key)) {
            if (!shared && held->shared)
                return EDEADLK;
            ++held->depth;
            return 0; // FD goes: the lock lives on the holder's descriptor
        }
    }
    if (int rc = LockFd(fd.get(), shared ? LockKind::Shared : LockKind::Exclusive, ms); rc != 0)
        return rc;
    std::lock_guard<std::mutex> guard(g_mutex);
    g_held[key] = Holder{ForkGeneration(), std::move(fd), 1, shared};
    return 0;
}

int ReleaseRelationLock(const LockKey& lockKey)
{
    const Key key{lockKey.dev, lockKey.ino, std::this_thread::get_id()};
    std::lock_guard<std::mutex> guard(g_mutex);
    Holder* held = FindHeld(key);
    if (held == nullptr)
        return EPERM;
    if (--held->depth == 0) {
        UnlockFd(held->fd.get());
        g_held.erase(key);
    }
    return 0;
}

int ReleaseRelationLock(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return EPERM;
    return ReleaseRelationLock(LockKey{st.st_dev, st.st_ino});
}

} // namespace locmail::db
