#include "suite/db/SyncPoint.h"

#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <set>

namespace locmail::db {
namespace {

std::mutex g_mutex;
std::set<std::string> g_dirty;
std::atomic<unsigned long long> g_syncfs{0};

} // namespace

void MarkDirty(const std::string& directory)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    g_dirty.insert(directory);
}

std::size_t PendingSyncCount()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_dirty.size();
}

unsigned long long SyncfsCount() { return g_syncfs.load(std::memory_order_relaxed); }

int SyncPoint()
{
    std::set<std::string> dirty;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        dirty.swap(g_dirty);
    }
    // One open directory per file system: syncfs on it covers all the others there.
    struct Device {
        UniqueFd fd;
        std::set<std::string> dirs;
    };
    std::map<dev_t, Device> devices;
    std::set<std::string> retry;
    int firstError = 0;
    auto note = [&](int err) {
        if (firstError == 0)
            firstError = err;
    };
    auto missed = [&](const std::string& dir) {
        if (errno != ENOENT) { // a removed directory has nothing left to sync
            note(errno);
            retry.insert(dir);
        }
    };
    for (const auto& dir : dirty) {
        struct stat st;
        if (::stat(dir.c_str(), &st) != 0) {
            missed(dir);
            continue;
        }
        auto device = devices.find(st.st_dev);
        if (device == devices.end()) {
            UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!fd) {
                missed(dir);
                continue;
            }
            device = devices.emplace(st.st_dev, Device{std::move(fd), {}}).first;
        }
        device->second.dirs.insert(dir);
    }
    for (auto& [dev, device] : devices) {
        g_syncfs.fetch_add(1, std::memory_order_relaxed);
        if (::syncfs(device.fd.get()) != 0) {
            note(errno);
            retry.insert(device.dirs.begin(), device.dirs.end());
        }
    }
    if (!retry.empty()) {
        std::lock_guard<std::mutex> guard(g_mutex);
        g_dirty.insert(retry.begin(), retry.end());
    }
    return firstError;
}

} // namespace locmail::db
