#include "filing/CreateMbx.h"

#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"

#include <optional>
#include <string>

namespace {

constexpr unsigned long kPathBufferSize = 260;

// The store home that holds the templates, or nullopt when a template path
// would not fit the buffer (an empty setting means the root directory).
std::optional<std::string> TemplateDirectory()
{
    char homeDir[kPathBufferSize];
    namespace config = locmail::config;
    unsigned long n = GetPrivateProfileStringA(config::kStoreHome.section, config::kStoreHome.name,
                                               config::kStoreHome.fallback, homeDir, kPathBufferSize, config::kConfigFile);
    if (n >= kPathBufferSize - 1)
        return std::nullopt; // filled the buffer: probably cut short
    const std::string home = *homeDir == '\0' ? std::string("/") : std::string(homeDir);
    for (const char* name : locmail::msgstore::kTemplateFiles) {
        if (locmail::PathJoin(home, name).size() >= kPathBufferSize)
            return std::nullopt;
    }
    return home;
}

} // namespace

bool CreateMbx(mailbox& mbx, const char* homeDir, const char* folderPath)
{
    if (homeDir == nullptr || folderPath == nullptr)
        return false;
    if (locmail::msgstore::NormalizeFolderPath(folderPath).empty())
        return true;
    const auto templates = TemplateDirectory();
    if (!templates)
        return false;
    // The store's own maker: one naming rule and one record per directory, whoever makes the folder.
    return locmail::msgstore::EnsureFolder(mbx, *templates, folderPath).ok();
}
