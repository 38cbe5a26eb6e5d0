#include "suite/msgstore/FolderMaker.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

namespace locmail::msgstore {
namespace {

MakeFolderResult Fail(MakeFolderStatus status, int error, std::string detail, int made)
{
    MakeFolderResult r;
    r.status = status;
    r.error = error != 0 ? error : EPROTO;
    r.detail = std::move(detail);
    r.levelsMade = made;
    return r;
}

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

struct LevelError {
    int error = 0;
    std::string text;
};

std::vector<std::string> LevelPrefixes(const std::string& normalized)
{
    std::vector<std::string> prefixes;
    for (std::size_t pos = normalized.find('\\'); pos != std::string::npos; pos = normalized.find('\\', pos + 1))
        prefixes.push_back(normalized.substr(0, pos));
    prefixes.push_back(normalized);
    return prefixes;
}

// The directory and the template files it lacks; error 0 on success.
LevelError MakeLevelFiles(const std::string& templateDir, const std::string& dir)
{
    if (MakeDirectory(dir, 0700) != 0 && !(errno == EEXIST && IsDirectory(dir))) {
        const int err = errno == EEXIST ? ENOTDIR : errno; // a file where the directory belongs
        return {err, ErrnoText(dir, err)};
    }
    for (const char* name : kTemplateFiles) {
        const std::string target = PathJoin(dir, name);
        if (FileExists(target))
            continue;
        const std::string source = PathJoin(templateDir, name);
        if (!CopyFileOver(source, target))
            return {errno, ErrnoText("copying " + source + " to " + target, errno)};
    }
    return {};
}

} // namespace

MakeFolderResult EnsureFolder(mailbox& mbx, const std::string& templateDir, std::string_view folderPath)
{
    const std::string normalized = NormalizeFolderPath(folderPath);
    if (normalized.empty() || normalized.find('\0') != std::string::npos)
        return Fail(MakeFolderStatus::BadFolderPath, EINVAL, "folder path names no folder", 0);
    if (!mbx.isOpen())
        return Fail(MakeFolderStatus::Failed, mbx.openErrno(), mbx.lastError(), 0);
    const std::string& home = mbx.directory();
    int made = 0;
    for (const std::string& prefix : LevelPrefixes(normalized)) {
        auto dir = FolderDirectory(home, prefix);
        if (!dir)
            return Fail(MakeFolderStatus::BadFolderPath, EINVAL, "folder \"" + prefix + "\" names no safe directory",
                        made);
        if (int error = FolderLevelsCheck(home, *dir); error != 0)
            return Fail(MakeFolderStatus::Failed, error, *dir + " is not a folder directory of the store", made);
        locmail::db::RelLock lock(mbx, kMailboxLockWaitMs);
        if (!lock.held())
            return Fail(MakeFolderStatus::Failed, lock.error(), ErrnoText(mbx.FilePath(".id0"), lock.error()), made);
        mbxstat record{};
        int rc = GetMbxStat(mbx, prefix.c_str(), record);
        if (rc == kOk)
            continue;
        if (rc != kNotFound)
            return Fail(MakeFolderStatus::Failed, mbx.connection()->LastErrno(),
                        "reading the record of \"" + prefix + "\" failed: " + mbx.connection()->LastError(), made);
        if (LevelError failed = MakeLevelFiles(templateDir, *dir); failed.error != 0)
            return Fail(MakeFolderStatus::Failed, failed.error, failed.text, made);
        record = mbxstat{};
        record.uidNext = 1;
        record.createTime = static_cast<std::int32_t>(std::time(nullptr));
        rc = AddMbx(mbx, prefix.c_str(), record);
        if (rc != kOk && rc != kExists)
            return Fail(MakeFolderStatus::Failed, mbx.connection()->LastErrno(),
                        "adding the record of \"" + prefix + "\" failed: " + mbx.connection()->LastError(), made);
        locmail::db::MarkDirty(*dir);
        locmail::db::MarkDirty(dir->substr(0, dir->rfind('/')));
        ++made;
    }
    MakeFolderResult ok;
    ok.levelsMade = made;
    return ok;
}

} // namespace locmail::msgstore
