#include "suite/mailsort/ScriptCache.h"

#include <deque>
#include <mutex>
#include <unordered_map>

namespace locmail::mailsort {

namespace {

struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};
    struct timespec changed {};

    static FileKey Of(const struct stat& info)
    {
        return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    }
    bool operator==(const FileKey& other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct Entry {
    FileKey key;
    std::shared_ptr<const Script> script;
};

} // namespace

struct ScriptCache::State {
    std::mutex mutex;
    std::unordered_map<std::string, Entry> entries;
    std::deque<std::string> order; // insertion order, for eviction
};

ScriptCache::State& ScriptCache::state()
{
    if (!state_)
        state_ = std::make_shared<State>();
    return *state_;
}

ScriptCache& ScriptCache::Process()
{
    static ScriptCache cache;
    return cache;
}

std::shared_ptr<const Script> ScriptCache::Lookup(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return nullptr;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.entries.find(path);
    if (found == s.entries.end() || !(found->second.key == FileKey::Of(info)))
        return nullptr;
    return found->second.script;
}

void ScriptCache::Store(const std::string& path, const struct stat& info, std::shared_ptr<const Script> script)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.entries.find(path);
    if (found != s.entries.end()) {
        found->second = {FileKey::Of(info), std::move(script)};
        return;
    }
    while (s.entries.size() >= kCapacity && !s.order.empty()) {
        s.entries.erase(s.order.front());
        s.order.pop_front();
    }
    s.entries.emplace(path, Entry{FileKey::Of(info), std::move(script)});
    s.order.push_back(path);
}

} // namespace locmail::mailsort
