#include "suite/mq/DirectoryScan.h"

#include "suite/mq/EntryId.h"
#include "suite/platform/Files.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace locmail::mq {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Calls VISIT for every name but "." and "..", reporting read errors.
template <typename Visit>
bool ForEachName(const std::string& path, Visit visit)
{
    DirPtr dir(::opendir(path.c_str()));
    if (!dir)
        return false;
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(dir.get());
        if (entry == nullptr)
            return errno == 0;
        std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        visit(name, entry->d_type);
    }
}

} // namespace

bool ListEntryIds(const std::string& dir, std::string_view ext, std::vector<uint32_t>& ids)
{
    ids.clear();
    bool ok = ForEachName(dir, [&](std::string_view name, unsigned char type) {
        auto id = ParseEntryName(name, ext);
        // A folder by an entry's name is none of ours: not an entry to claim, nor damage to report each walk.
        if (id && type != DT_DIR && !(type == DT_UNKNOWN && IsDirectory(PathJoin(dir, std::string(name)))))
            ids.push_back(*id);
    });
    std::sort(ids.begin(), ids.end());
    return ok;
}

bool ListSubfolders(const std::string& dir, std::vector<std::string>& names)
{
    names.clear();
    bool ok = ForEachName(dir, [&](std::string_view name, unsigned char type) {
        std::string n(name);
        if (type == DT_DIR || (type == DT_UNKNOWN && IsDirectory(PathJoin(dir, n))))
            names.push_back(std::move(n));
    });
    std::sort(names.begin(), names.end());
    return ok;
}

bool ListNames(const std::string& dir, std::vector<std::string>& names)
{
    names.clear();
    bool ok = ForEachName(dir, [&](std::string_view name, unsigned char) { names.emplace_back(name); });
    std::sort(names.begin(), names.end());
    return ok;
}

} // namespace locmail::mq
