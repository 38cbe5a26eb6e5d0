#include "suite/msgstore/Filing.h"

#include "suite/cclient/ImapSyntax.h"
#include "suite/db/SyncPoint.h"
#include "suite/db/Transaction.h"
#include "suite/msgstore/DeliveredOps.h"
#include "suite/msgstore/DeliveryScope.h"
#include "suite/msgstore/FilingParts.h"
#include "suite/msgstore/FilingReplay.h"
#include "suite/msgstore/FilingStep.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <limits>
#include <optional>

namespace locmail::msgstore {
namespace {

// Delivery records are kept this long: far beyond any queue's retry time.
constexpr std::time_t kDeliveredKeepSeconds = 30 * 24 * 3600;
// Pruning runs on a connection's first filing and then every so many, and
// removes at most so many records at a time, so no filing pays much for it.
constexpr unsigned kPruneEvery = 256;
constexpr int kPruneLimit = 1024;

// The steps of a new copy, under the lock; each undoes its predecessors when it fails.
class FilingSteps {
public:
    FilingSteps(const FilingRequest& request, const std::string& folder, const std::string& folderDir, mailbox& mbx,
                FolderRelations& rels)
        : req_(request), folder_(folder), dir_(folderDir), mbx_(mbx), rels_(rels)
    {
    }

    // Each relation takes part in one transaction: the folder's three commit
    // first, the home's (MBXTX, already begun) last, as the commit point. The
    // statistics are updated in MBXTX before the message file is written, so a
    // failed write (or any later failure) is undone by rolling MBXTX back: the
    // counters and uidNext stay as they were, and the file written for the UID
    // is removed, so no failure leaves a message file above uidNext. A failed
    // write still marks the flags (f & 7) | 4, as the undo of a filing does.
    FilingResult Run(const mbxstat& current, const std::optional<DeliveryRecord>& delivery,
                     locmail::db::Transaction& mbxTx)
    {
        const std::uint32_t uid = current.uidNext;
        const idxkey key{uid, 0};
        _msgstat stat = req_.stat;
        stat.size = static_cast<std::uint32_t>(req_.text.size());

        locmail::db::Transaction statTx(*rels_.stat.connection());
        locmail::db::Transaction envTx(*rels_.env.connection());
        locmail::db::Transaction bodyTx(*rels_.body.connection());
        if (!statTx.began())
            return RecordFailed("beginning the msgstat transaction", kDbError, rels_.stat);
        if (!envTx.began())
            return RecordFailed("beginning the msgenv transaction", kDbError, rels_.env);
        if (!bodyTx.began())
            return RecordFailed("beginning the msgbody transaction", kDbError, rels_.body);

        int rc = ReachFilingStep(FilingStep::AddMsgStat) ? AddMsgStat(rels_.stat, uid, stat) : kDbError;
        if (rc != kOk)
            return RecordFailed("AddMsgStat", rc, rels_.stat);
        rc = ReachFilingStep(FilingStep::AddMsgEnv) ? AddMsgEnv(rels_.env, key, req_.envelope) : kDbError;
        if (rc != kOk)
            return RecordFailed("AddMsgEnv", rc, rels_.env);
        rc = ReachFilingStep(FilingStep::AddMsgBody) ? AddMsgBody(rels_.body, rels_.env, key, key, req_.bodyStructure)
                                                     : kDbError;
        if (rc != kOk)
            return RecordFailed("AddMsgBody", rc, rels_.body);
        if (FilingResult staged = UpdateStatistics(current, delivery); !staged.ok())
            return staged;

        const std::string path = MessageFilePath(dir_, uid);
        if (!WriteFile(path)) {
            int err = errno != 0 ? errno : EIO;
            MarkFlagsOnly(current, mbxTx);
            return FilingFailure(FilingStatus::MessageFileFailed, err, "writing " + path + " failed");
        }
        locmail::db::MarkDirty(dir_);

        const diaRel* uncommitted = !statTx.commit() ? &rels_.stat
                                  : !envTx.commit()  ? static_cast<const diaRel*>(&rels_.env)
                                  : !bodyTx.commit() ? &rels_.body
                                  : nullptr;
        FilingResult result;
        if (uncommitted != nullptr)
            result = RecordFailed("committing the folder's records", kDbError, *uncommitted);
        else if (!ReachFilingStep(FilingStep::Commit))
            result = FilingFailure(FilingStatus::StatsUpdateFailed, EIO, "committing failed");
        else if (!mbxTx.commit())
            result = CommitFailed("committing");
        if (!result.ok()) {
            RemoveRecordsFrom(FilingStep::AddMsgBody, key);
            ::unlink(path.c_str());
            return result;
        }
        result.uid = uid;
        return result;
    }

private:
    // Undoes MBXTX, then writes back the statistics as read with the flags marked.
    void MarkFlagsOnly(const mbxstat& current, locmail::db::Transaction& mbxTx)
    {
        mbxTx.rollback();
        mbxstat marked = current;
        marked.flags = MarkedFlags(current.flags);
        (void)UpdateMbxStat(mbx_, folder_.c_str(), marked, kUpdateAll);
    }

    static std::uint8_t MarkedFlags(std::uint8_t flags) { return static_cast<std::uint8_t>((flags & 7) | 4); }

    // The delivery key and the new statistics, in the home's open transaction.
    FilingResult UpdateStatistics(const mbxstat& current, const std::optional<DeliveryRecord>& delivery)
    {
        if (delivery && RecordDelivered(mbx_, *delivery, current.uidNext, std::time(nullptr)) != kOk)
            return CommitFailed("recording the delivery key");
        mbxstat next = current;
        next.flags = MarkedFlags(next.flags);
        ++next.totalMsgs;
        ++next.recentMsgs;
        ++next.unseenMsgs;
        ++next.uidNext;
        if (!ReachFilingStep(FilingStep::StatsUpdate))
            return FilingFailure(FilingStatus::StatsUpdateFailed, EIO, "UpdateMbxStat failed");
        if (int rc = UpdateMbxStat(mbx_, folder_.c_str(), next, kUpdateAll); rc != kOk)
            return FilingFailure(FilingStatus::StatsUpdateFailed, OperationErrno(rc, mbx_), "UpdateMbxStat failed");
        return FilingResult{};
    }

    FilingResult CommitFailed(const char* what)
    {
        return FilingFailure(FilingStatus::StatsUpdateFailed, mbx_.connection()->LastErrno(),
                             std::string(what) + " failed: " + mbx_.connection()->LastError());
    }

    // Keeps the errno of a heap failure before the undo can change it.
    FilingResult RecordFailed(const char* step, int rc, const diaRel& rel)
    {
        const int saved = errno;
        return FilingFailure(FilingStatus::RecordFailed, OperationErrno(rc, rel, saved), std::string(step) + " failed");
    }

    bool WriteFile(const std::string& path)
    {
        errno = 0;
        if (!ReachFilingStep(FilingStep::MessageFileCreate)) {
            errno = EIO;
            return false;
        }
        return WriteMessageFile(path, req_.text, [&] { return ReachFilingStep(FilingStep::MessageFileText); });
    }

    // Undoes the record steps up to and including LAST, latest first.
    void RemoveRecordsFrom(FilingStep last, const idxkey& key)
    {
        if (last >= FilingStep::AddMsgBody)
            RemoveMsgBody(rels_.body, rels_.env, key);
        if (last >= FilingStep::AddMsgEnv)
            RemoveMsgEnv(rels_.env, key);
        RemoveMsgStat(rels_.stat, key.uid);
    }

    const FilingRequest& req_;
    const std::string& folder_;
    const std::string& dir_;
    mailbox& mbx_;
    FolderRelations& rels_;
};

// Old delivery records go now and then; a failure here costs nothing but space.
void PruneNowAndThen(mailbox& mbx)
{
    if (mbx.connection()->UpkeepDue(kPruneEvery))
        (void)PruneDelivered(mbx, std::time(nullptr) - kDeliveredKeepSeconds, kPruneLimit);
}

std::optional<DeliveryRecord> CurrentDelivery(const std::string& folder)
{
    const DeliveryScope* scope = DeliveryScope::Current();
    if (scope == nullptr)
        return std::nullopt;
    return DeliveryRecord{scope->key(), scope->recipient(), folder};
}

// What the lock protects: the replay check, the folder's record and the new copy.
FilingResult FileLocked(const FilingRequest& req, const std::string& folder, const std::string& dir, mailbox& mbx,
                        FolderRelations& rels)
{
    ReachFilingStep(FilingStep::StatsRead);
    // One transaction for everything the filing reads and writes in the home's
    // relation; its commit is the filing's commit point.
    locmail::db::Transaction mbxTx(*mbx.connection());
    if (!mbxTx.began())
        return FilingFailure(FilingStatus::RelationUnavailable, mbx.connection()->LastErrno(),
                             "beginning the mailbox transaction failed: " + mbx.connection()->LastError());
    const std::optional<DeliveryRecord> delivery = CurrentDelivery(folder);
    if (delivery) {
        std::uint32_t uid = 0;
        int rc = FindDelivered(mbx, *delivery, uid);
        if (rc == kOk)
            return RepairReplay(req, ReplayTarget{folder, dir, uid}, mbx, rels);
        if (rc != kNotFound)
            return FilingFailure(FilingStatus::RelationUnavailable, OperationErrno(rc, mbx),
                                 "looking up the delivery key failed: " + mbx.connection()->LastError());
    }
    mbxstat current{};
    int rc = GetMbxStat(mbx, folder.c_str(), current);
    if (rc != kOk)
        return FilingFailure(FilingStatus::NoSuchFolder, OperationErrno(rc, mbx),
                             rc == kNotFound ? "no folder record for \"" + folder + "\""
                                             : "reading the record of folder \"" + folder + "\" failed");
    if (current.uidNext == 0 || current.uidNext == std::numeric_limits<std::uint32_t>::max())
        return FilingFailure(FilingStatus::FolderFull, EOVERFLOW,
                             "folder \"" + folder + "\" has uidNext " + std::to_string(current.uidNext));
    if (const diaRel* rel = rels.Unopened()) {
        // A record whose directory is gone names a folder that is not there.
        if (!IsDirectory(dir))
            return FilingFailure(FilingStatus::NoSuchFolder, ENOENT, "folder directory " + dir + " is missing");
        return FilingFailure(FilingStatus::RelationUnavailable, OperationErrno(kNotOpen, *rel), rel->lastError());
    }
    FilingResult result = FilingSteps(req, folder, dir, mbx, rels).Run(current, delivery, mbxTx);
    if (result.ok())
        PruneNowAndThen(mbx);
    return result;
}

} // namespace

const char* FilingStatusName(FilingStatus status)
{
    switch (status) {
    case FilingStatus::Filed: return "filed";
    case FilingStatus::BadFolderPath: return "bad folder path";
    case FilingStatus::RelationUnavailable: return "relation unavailable";
    case FilingStatus::LockFailed: return "mailbox lock failed";
    case FilingStatus::NoSuchFolder: return "no such folder";
    case FilingStatus::FolderFull: return "folder has no UIDs left";
    case FilingStatus::RecordFailed: return "message record failed";
    case FilingStatus::MessageFileFailed: return "message file failed";
    case FilingStatus::StatsUpdateFailed: return "folder statistics update failed";
    }
    return "unknown";
}

void FilingRequest::Describe(const mail_envelope* parsedEnvelope, const mail_bodystruct* parsedBody)
{
    envelope = locmail::cclient::ImapEnvelope(parsedEnvelope);
    bodyStructure = locmail::cclient::ImapBodyStructure(parsedBody);
}

FilingResult FileIntoFolder(diamondBase& base, const FilingRequest& req)
{
    if (req.text.size() > std::numeric_limits<std::uint32_t>::max())
        return FilingFailure(FilingStatus::MessageFileFailed, EFBIG, "message larger than 4 GiB");
    // The folder path is used as a C string key below: refuse embedded NULs.
    if (req.folderPath.find('\0') != std::string_view::npos)
        return FilingFailure(FilingStatus::BadFolderPath, EINVAL, "folder path holds a NUL byte");
    // The folder's one name keys its record, its delivery keys and its directory.
    const std::string folder = NormalizeFolderPath(req.folderPath);
    const std::string home(req.homeDir);
    std::optional<std::string> dir = FolderDirectory(home, folder);
    if (!dir)
        return FilingFailure(FilingStatus::BadFolderPath, EINVAL,
                             "folder path \"" + folder + "\" names no folder directory");
    if (int error = FolderLevelsCheck(home, *dir); error != 0)
        return FilingFailure(FilingStatus::RelationUnavailable, error, *dir + " is not a folder directory of the store");

    mailbox mbx(&base, home.c_str(), "mailbox");
    if (!mbx.isOpen())
        return FilingFailure(FilingStatus::RelationUnavailable, OperationErrno(kNotOpen, mbx), mbx.lastError());
    FolderRelations rels(base, *dir);

    const int lockError = mbx.lock(false, req.lockWaitMs);
    if (lockError != 0)
        return FilingFailure(FilingStatus::LockFailed, lockError, "locking " + mbx.FilePath(".id0") + " failed");
    struct Unlock {
        mailbox& rel;
        ~Unlock()
        {
            ReachFilingStep(FilingStep::Unlock);
            rel.unlock();
        }
    } unlock{mbx};
    FilingResult result = FileLocked(req, folder, *dir, mbx, rels);
    if (result.ok())
        DeliveryScope::NoteFiled(folder, result.uid, result.replayed);
    return result;
}

} // namespace locmail::msgstore
