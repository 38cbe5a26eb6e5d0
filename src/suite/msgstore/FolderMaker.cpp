#include "suite/msgstore/FolderMaker.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
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

// A message file's UID from its name (decimal digits only), or 0.
std::uint32_t UidOfName(const std::string& name)
{
    if (name.empty() || name.size() > 10 || name.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long long uid = std::stoull(name);
    return uid < std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(uid) : 0;
}

// The record for a level that has none. A directory that was there already
// may hold messages (its record was lost, or written under another spelling
// of the name before names were normalized): the record starts above every
// UID found there, by status record or by file, and counts the messages that
// have both, so no filing overwrites one and readers see them again.
mbxstat NewFolderRecord(const std::string& dir, bool existed)
{
    mbxstat record{};
    record.uidNext = 1;
    record.createTime = static_cast<std::int32_t>(std::time(nullptr));
    if (!existed)
        return record;
    std::error_code ec;
    std::vector<std::uint32_t> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (std::uint32_t uid = UidOfName(entry.path().filename().string()); uid != 0) {
            files.push_back(uid);
            record.uidNext = std::max(record.uidNext, uid + 1);
        }
    }
    diamondBase base;
    msgstat stats(&base, dir.c_str(), "msgstat");
    std::vector<std::uint32_t> uids;
    if (stats.isOpen() && ListMsgUids(stats, std::numeric_limits<std::uint32_t>::max(), uids) == kOk) {
        std::sort(files.begin(), files.end());
        for (std::uint32_t uid : uids) {
            record.uidNext = std::max(record.uidNext, uid + 1);
            if (std::binary_search(files.begin(), files.end(), uid))
                ++record.totalMsgs;
        }
    }
    record.recentMsgs = record.unseenMsgs = record.totalMsgs;
    return record;
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
        const bool existed = IsDirectory(*dir);
        if (LevelError failed = MakeLevelFiles(templateDir, *dir); failed.error != 0)
            return Fail(MakeFolderStatus::Failed, failed.error, failed.text, made);
        record = NewFolderRecord(*dir, existed);
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
