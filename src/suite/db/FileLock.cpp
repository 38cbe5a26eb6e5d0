#include "suite/db/FileLock.h"

#include "suite/platform/ForkGeneration.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

// flock has no timeout: a finite wait polls with a short, growing pause.
int WaitForFlock(int fd, int op, unsigned long ms)
{
    if (ms == kWaitForever) {
        while (::flock(fd, op) != 0) {
            if (errno != EINTR)
                return errno;
        }
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    auto pause = std::chrono::microseconds(500);
    for (;;) {
        if (::flock(fd, op | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return errno;
        const auto now = Clock::now();
        if (now >= deadline)
            return ETIMEDOUT;
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        std::this_thread::sleep_for(left < pause ? left : pause);
        if (pause < std::chrono::milliseconds(20))
            pause *= 2;
    }
}

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

int AcquireFileLock(const std::string& path, bool shared, unsigned long ms, LockKey* keyOut)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return errno;
    const Key key{st.st_dev, st.st_ino, std::this_thread::get_id()};
    if (keyOut != nullptr)
        *keyOut = LockKey{st.st_dev, st.st_ino};
    int convertFd = -1;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (Holder* held = FindHeld(key)) {
            if (shared || !held->shared) {
                ++held->depth;
                return 0; // FD goes: the lock lives on the holder's descriptor
            }
            convertFd = held->fd.get();
        }
    }
    if (convertFd >= 0) {
        // Only this thread touches its own holding, so the fd stays valid here.
        int rc = WaitForFlock(convertFd, LOCK_EX, ms);
        if (rc == 0) {
            std::lock_guard<std::mutex> guard(g_mutex);
            Holder* held = FindHeld(key);
            held->shared = false;
            ++held->depth;
        }
        return rc;
    }
    int rc = WaitForFlock(fd.get(), shared ? LOCK_SH : LOCK_EX, ms);
    if (rc != 0)
        return rc;
    std::lock_guard<std::mutex> guard(g_mutex);
    g_held[key] = Holder{ForkGeneration(), std::move(fd), 1, shared};
    return 0;
}

int ReleaseFileLock(const LockKey& lockKey)
{
    const Key key{lockKey.dev, lockKey.ino, std::this_thread::get_id()};
    std::lock_guard<std::mutex> guard(g_mutex);
    Holder* held = FindHeld(key);
    if (held == nullptr)
        return EPERM;
    if (--held->depth == 0) {
        ::flock(held->fd.get(), LOCK_UN);
        g_held.erase(key);
    }
    return 0;
}

int ReleaseFileLock(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return EPERM;
    return ReleaseFileLock(LockKey{st.st_dev, st.st_ino});
}

} // namespace locmail::db
