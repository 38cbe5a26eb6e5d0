#include "suite/msgstore/StoreHome.h"

#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"

#include <cerrno>
#include <cstring>

namespace locmail::msgstore {
namespace {

bool MakeDirectoryIfMissing(const std::string& path, unsigned mode, std::string& error)
{
    if (MakeDirectory(path, mode) == 0 || (errno == EEXIST && IsDirectory(path)))
        return true;
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
}

bool TemplatesComplete(const std::string& storeHome)
{
    for (const char* name : kTemplateFiles) {
        if (!FileExists(PathJoin(storeHome, name)))
            return false;
    }
    return true;
}

bool IsPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

} // namespace

bool PrepareStoreHome(const std::string& storeHome, std::string& error)
{
    if (storeHome.empty()) {
        error = "the store home ([MsgStore] HomeDir) is not set";
        return false;
    }
    if (!MakeDirectoryIfMissing(storeHome, 0755, error))
        return false;
    if (!TemplatesComplete(storeHome) && !WriteStoreTemplates(storeHome, error))
        return false;
    if (!MakeDirectoryIfMissing(PathJoin(storeHome, kUserHomes), 0755, error)
        || !MakeDirectoryIfMissing(PathJoin(storeHome, kSharedHomes), 0755, error))
        return false;
    if (!UsersDirectory::Open(storeHome, error))
        return false;
    if (!FsyncDirectory(storeHome)) {
        error = "cannot sync " + storeHome + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<std::string> HomePathOf(const std::string& storeHome, std::string_view relativeHome)
{
    auto slash = relativeHome.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    std::string_view kind = relativeHome.substr(0, slash);
    if ((kind != kUserHomes && kind != kSharedHomes) || !IsPlainName(relativeHome.substr(slash + 1)))
        return std::nullopt;
    return PathJoin(storeHome, relativeHome);
}

} // namespace locmail::msgstore
