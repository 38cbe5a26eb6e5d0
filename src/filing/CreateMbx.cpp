#include "filing/CreateMbx.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"

#include <cerrno>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kPathBufferSize = 260;

// The store home's template paths, or nullopt when any would not fit the buffer.
std::optional<std::vector<std::string>> TemplatePaths()
{
    char homeDir[kPathBufferSize];
    unsigned long n = GetPrivateProfileStringA("MsgStore", "HomeDir", "", homeDir, kPathBufferSize, "qxmta.ini");
    if (n >= kPathBufferSize - 1)
        return std::nullopt; // filled the buffer: probably cut short
    const std::string home(homeDir);
    std::vector<std::string> paths;
    for (const char* name : locmail::msgstore::kTemplateFiles) {
        std::string path = home.empty() ? std::string("/") + name : locmail::PathJoin(home, name);
        if (path.size() >= kPathBufferSize)
            return std::nullopt;
        paths.push_back(std::move(path));
    }
    return paths;
}

// The plain prefixes of FOLDER, level by level: before each `\`, then the whole path.
std::vector<std::string> LevelPrefixes(const std::string& folder)
{
    std::vector<std::string> prefixes;
    for (std::size_t pos = folder.find('\\'); pos != std::string::npos; pos = folder.find('\\', pos + 1))
        prefixes.push_back(folder.substr(0, pos));
    prefixes.push_back(folder);
    return prefixes;
}

enum class Made { Created, Existing, Failed };

Made MakeLevelDirectory(const std::string& dir)
{
    if (locmail::MakeDirectory(dir, 0700) == 0)
        return Made::Created;
    // Made by someone else just now: it counts as existing, as it would a moment later.
    return errno == EEXIST && locmail::IsDirectory(dir) ? Made::Existing : Made::Failed;
}

bool CopyTemplates(const std::vector<std::string>& templates, const std::string& dir)
{
    for (std::size_t i = 0; i < templates.size(); ++i) {
        if (!locmail::CopyFileOver(templates[i], locmail::PathJoin(dir, locmail::msgstore::kTemplateFiles[i])))
            return false;
    }
    return true;
}

bool AddFolderRecord(mailbox& mbx, const std::string& prefix)
{
    mbxstat record{};
    record.uidNext = 1;
    record.createTime = static_cast<std::int32_t>(std::time(nullptr));
    locmail::db::RelLock lock(mbx, locmail::db::kWaitForever);
    return lock.held() && AddMbx(mbx, prefix.c_str(), record) == locmail::msgstore::kOk;
}

} // namespace

bool CreateMbx(mailbox& mbx, const char* homeDir, const char* folderPath)
{
    if (homeDir == nullptr || folderPath == nullptr)
        return false;
    const std::string folder(folderPath);
    if (folder.empty())
        return true;
    const auto templates = TemplatePaths();
    if (!templates)
        return false;
    for (const std::string& prefix : LevelPrefixes(folder)) {
        auto dir = locmail::msgstore::FolderDirectoryOf(homeDir, locmail::msgstore::EncodeFolderPath(prefix));
        if (!dir)
            return false;
        if (locmail::IsDirectory(*dir))
            continue;
        const Made made = MakeLevelDirectory(*dir);
        if (made == Made::Failed)
            return false;
        if (made == Made::Existing)
            continue;
        locmail::db::MarkDirty(*dir);
        if (!CopyTemplates(*templates, *dir) || !AddFolderRecord(mbx, prefix))
            return false;
    }
    return true;
}
