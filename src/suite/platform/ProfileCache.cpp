#include "suite/platform/ProfileCache.h"

#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

namespace locmail {
namespace {

thread_local ProfileReadScope* tReadScope = nullptr;

} // namespace

ProfileReadScope::ProfileReadScope() : active_(tReadScope == nullptr)
{
    if (active_)
        tReadScope = this;
}

ProfileReadScope::~ProfileReadScope()
{
    if (active_)
        tReadScope = nullptr;
}

bool ProfileCache::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           mtime.tv_sec == other.mtime.tv_sec && mtime.tv_nsec == other.mtime.tv_nsec;
}

bool ProfileCache::IdentityOf(const struct stat& st, Identity& out)
{
    if (!S_ISREG(st.st_mode))
        return false;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.size = st.st_size;
    out.mtime = st.st_mtim;
    return true;
}

ProfileCache& ProfileCache::Instance()
{
    static ProfileCache cache;
    return cache;
}

std::shared_ptr<const ProfileData> ProfileCache::Load(const std::string& path)
{
    ProfileReadScope* scope = tReadScope;
    if (scope == nullptr)
        return LoadCurrent(path);
    for (const auto& [seenPath, data] : scope->seen_)
        if (seenPath == path)
            return data;
    auto data = LoadCurrent(path);
    scope->seen_.emplace_back(path, data);
    return data;
}

std::shared_ptr<const ProfileData> ProfileCache::LoadCurrent(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat st;
    Identity now;
    if (::stat(path.c_str(), &st) != 0 || !IdentityOf(st, now)) {
        entries_.erase(path);
        return nullptr;
    }
    auto cached = entries_.find(path);
    if (cached != entries_.end() && cached->second.identity == now)
        return cached->second.data;
    return ReadAndParse(path);
}

// The identity recorded is the one of the opened file, so a change made while
// it is being read shows as a different identity on the next call.
std::shared_ptr<const ProfileData> ProfileCache::ReadAndParse(const std::string& path)
{
    entries_.erase(path);
    struct stat st;
    UniqueFd fd = OpenRegularFile(path, &st);
    Identity opened;
    if (!fd || !IdentityOf(st, opened))
        return nullptr;
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    if (!ReadAllFrom(fd.get(), text))
        return nullptr;
    auto data = std::make_shared<const ProfileData>(std::move(text));
    ++parses_;
    entries_[path] = Entry{opened, data};
    return data;
}

unsigned long long ProfileCache::ParseCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return parses_;
}

unsigned long long ProfileParseCount()
{
    return ProfileCache::Instance().ParseCount();
}

} // namespace locmail
