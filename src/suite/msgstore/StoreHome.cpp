#include "suite/msgstore/StoreHome.h"

#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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
    if (!IsAbsoluteBelowRoot(storeHome)) {
        error = "the store home '" + storeHome + "' must be an absolute path below /";
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
    const std::string mark = PathJoin(storeHome, kStoreMarkFile);
    if (!FileExists(mark) && !WriteFileAtomic(mark, "locmail message store\n")) {
        error = "cannot write " + mark + ": " + std::strerror(errno);
        return false;
    }
    if (!FsyncDirectory(storeHome)) {
        error = "cannot sync " + storeHome + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string StoreHomeFault(const std::string& storeHome)
{
    if (storeHome.empty())
        return "the store home ([MsgStore] HomeDir) is not set";
    if (!IsAbsoluteBelowRoot(storeHome))
        return "the store home '" + storeHome + "' must be an absolute path below /";
    if (!IsDirectory(storeHome))
        return "the store home " + storeHome + " does not exist or is not a directory";
    if (!FileExists(PathJoin(storeHome, kStoreMarkFile)))
        return storeHome + " is not a message store made by `locmail init` (no " + kStoreMarkFile + ")";
    return {};
}

HomeState CheckHome(const std::string& homePath, int& error)
{
    // The home and users/ or shared/ above it must be real directories: a
    // link in their place would take the mailbox out of the store.
    const std::string kindFolder = std::filesystem::path(homePath).parent_path().string();
    struct stat st;
    if (::lstat(kindFolder.c_str(), &st) != 0) {
        error = errno;
        return error == ENOENT ? HomeState::KindFolderMissing : HomeState::Unreadable;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = ENOTDIR;
        return HomeState::NotADirectory;
    }
    if (::lstat(homePath.c_str(), &st) != 0) {
        error = errno;
        return error == ENOENT ? HomeState::Missing : HomeState::Unreadable;
    }
    error = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return S_ISDIR(st.st_mode) ? HomeState::Ready : HomeState::NotADirectory;
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
