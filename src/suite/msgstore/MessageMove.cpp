#include "suite/msgstore/MessageMove.h"

#include "suite/cclient/FlagParser.h"
#include "suite/db/SyncPoint.h"
#include "suite/msgstore/DeliveryScope.h"
#include "suite/msgstore/Filing.h"
#include "suite/msgstore/FilingParts.h"
#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"

#include <unistd.h>

#include <cerrno>
#include <optional>

namespace locmail::msgstore {
namespace {

MoveResult MoveFailure(MoveStatus status, int error, std::string detail)
{
    MoveResult result;
    result.status = status;
    result.error = error;
    result.detail = std::move(detail);
    return result;
}

std::uint32_t LessOne(std::uint32_t counter) { return counter > 0 ? counter - 1 : 0; }

// The source message as the filing of its copy needs it.
struct StoredMessage {
    mbxstat folderStat{};
    FilingRequest copy;
    std::string text;
};

// Reads every part of a visible message; the failing operation's code otherwise.
int ReadStored(mailbox& mbx, FolderRelations& rels, const std::string& folder, const std::string& dir,
               std::uint32_t uid, StoredMessage& out)
{
    if (int rc = GetMbxStat(mbx, folder.c_str(), out.folderStat); rc != kOk)
        return rc;
    if (uid == 0 || uid >= out.folderStat.uidNext)
        return kNotFound;
    const idxkey key{uid, 0};
    int rc = GetMsgStat(rels.stat, uid, out.copy.stat);
    if (rc == kOk)
        rc = GetMsgEnv(rels.env, key, out.copy.envelope);
    if (rc == kOk)
        rc = GetMsgBody(rels.body, key, out.copy.bodyStructure);
    if (rc == kOk && !ReadMessageFile(MessageFilePath(dir, uid), out.text))
        rc = kNotFound;
    return rc;
}

// Takes the message out of its folder; the status record goes first, so that
// it is invisible before anything else changes.
MoveResult RemoveStored(mailbox& mbx, FolderRelations& rels, const std::string& folder, const std::string& dir,
                        std::uint32_t uid, const StoredMessage& stored)
{
    if (int rc = RemoveMsgStat(rels.stat, uid); rc != kOk)
        return MoveFailure(MoveStatus::Failed, OperationErrno(rc, rels.stat),
                           "removing message " + std::to_string(uid) + " from \"" + folder + "\" failed");
    mbxstat counters = stored.folderStat;
    counters.totalMsgs = LessOne(counters.totalMsgs);
    if ((stored.copy.stat.systemFlags & locmail::cclient::kSeen) == 0)
        counters.unseenMsgs = LessOne(counters.unseenMsgs);
    if ((stored.copy.stat.systemFlags & locmail::cclient::kOld) == 0)
        counters.recentMsgs = LessOne(counters.recentMsgs);
    // What follows only tidies: the message no longer counts anywhere.
    (void)UpdateMbxStat(mbx, folder.c_str(), counters, kUpdateTotal | kUpdateRecent | kUpdateUnseen);
    const idxkey key{uid, 0};
    (void)RemoveMsgBody(rels.body, rels.env, key);
    (void)RemoveMsgEnv(rels.env, key);
    ::unlink(MessageFilePath(dir, uid).c_str());
    locmail::db::MarkDirty(dir);
    return MoveResult{};
}

} // namespace

MoveResult MoveMessage(diamondBase& base, const std::string& templateDir, std::string_view homeDir,
                       std::string_view fromFolder, std::uint32_t uid, std::string_view toFolder)
{
    const std::string home(homeDir);
    const std::string from = NormalizeFolderPath(fromFolder);
    const std::string to = NormalizeFolderPath(toFolder);
    const std::optional<std::string> dir = FolderDirectory(home, from);
    if (!dir || !FolderDirectory(home, to))
        return MoveFailure(MoveStatus::Failed, EINVAL, "\"" + from + "\" or \"" + to + "\" names no folder");

    mailbox mbx(&base, home.c_str(), "mailbox");
    FolderRelations rels(base, *dir);
    if (!mbx.isOpen())
        return MoveFailure(MoveStatus::Failed, OperationErrno(kNotOpen, mbx), mbx.lastError());
    if (const diaRel* rel = rels.Unopened())
        return MoveFailure(MoveStatus::Failed, OperationErrno(kNotOpen, *rel), rel->lastError());
    locmail::db::RelLock lock(mbx, kMailboxLockWaitMs);
    if (!lock.held())
        return MoveFailure(MoveStatus::Failed, lock.error(), "locking " + mbx.FilePath(".id0") + " failed");

    StoredMessage stored;
    if (int rc = ReadStored(mbx, rels, from, *dir, uid, stored); rc != kOk)
        return rc == kNotFound ? MoveFailure(MoveStatus::NotFound, ENOENT,
                                             "no message " + std::to_string(uid) + " in \"" + from + "\"")
                               : MoveFailure(MoveStatus::Failed, OperationErrno(rc, mbx),
                                             "reading message " + std::to_string(uid) + " failed");
    if (from == to) {
        MoveResult same;
        same.uid = uid;
        return same;
    }
    if (MakeFolderResult made = EnsureFolder(mbx, templateDir, to); !made.ok())
        return MoveFailure(MoveStatus::Failed, made.error, made.detail);

    stored.copy.homeDir = home;
    stored.copy.folderPath = to;
    stored.copy.text = stored.text;
    FilingResult filed;
    {
        // The source folder's creation time tells a UID of a folder that was
        // removed and made again from the same UID of the folder before it.
        DeliveryScope scope("move " + std::to_string(stored.folderStat.createTime) + " " + std::to_string(uid), from);
        filed = FileIntoFolder(base, stored.copy);
    }
    if (!filed.ok())
        return MoveFailure(MoveStatus::Failed, filed.error,
                           "filing the copy into \"" + to + "\" failed: " + filed.detail);
    MoveResult moved = RemoveStored(mbx, rels, from, *dir, uid, stored);
    moved.uid = filed.uid;
    return moved;
}

} // namespace locmail::msgstore
