#include "suite/msgstore/FolderReader.h"

#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"

namespace locmail::msgstore {

int ReadFolder(diamondBase& base, std::string_view homeDir, std::string_view folderPath, FolderView& out)
{
    out = FolderView{};
    const std::string home(homeDir);
    const std::string folder = NormalizeFolderPath(folderPath);
    auto dir = FolderDirectory(home, folder);
    if (!dir)
        return kBadArgument;
    mailbox mbx(&base, home.c_str(), "mailbox");
    msgstat stats(&base, dir->c_str(), "msgstat");
    if (!mbx.isOpen() || !stats.isOpen())
        return kNotOpen;
    std::vector<std::uint32_t> uids;
    {
        locmail::db::RelLock lock(mbx, kMailboxLockWaitMs, true);
        if (!lock.held())
            return kDbError;
        int rc = GetMbxStat(mbx, folder.c_str(), out.stat);
        if (rc == kOk)
            rc = ListMsgUids(stats, out.stat.uidNext, uids);
        if (rc != kOk) {
            out = FolderView{};
            return rc;
        }
    }
    for (std::uint32_t uid : uids)
        (FileExists(MessageFilePath(*dir, uid)) ? out.uids : out.skipped).push_back(uid);
    return kOk;
}

} // namespace locmail::msgstore
