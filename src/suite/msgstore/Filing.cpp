#include "suite/msgstore/Filing.h"

#include "suite/cclient/ImapSyntax.h"
#include "suite/db/SyncPoint.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace locmail::msgstore {
namespace {

bool Allowed(FilingProbe* probe, FilingStep step) { return probe == nullptr || probe->Reached(step); }

FilingResult Fail(FilingStatus status, int error, std::string detail)
{
    FilingResult r;
    r.status = status;
    r.error = error;
    r.detail = std::move(detail);
    return r;
}

// The folder's three message relations, opened before the lock is taken.
struct FolderRelations {
    FolderRelations(diamondBase& base, const std::string& dir)
        : env(&base, dir.c_str(), "msgenv"), body(&base, dir.c_str(), "msgbody"), stat(&base, dir.c_str(), "msgstat")
    {
    }
    const diaRel* Unopened() const
    {
        const diaRel* all[] = {&env, &body, &stat};
        for (const diaRel* rel : all) {
            if (!rel->isOpen())
                return rel;
        }
        return nullptr;
    }
    msgenv env;
    msgbody body;
    msgstat stat;
};

// The steps that run under the lock; each undoes its predecessors when it fails.
class FilingSteps {
public:
    FilingSteps(const FilingRequest& request, const std::string& folder, const std::string& folderDir, mailbox& mbx,
                FolderRelations& rels, FilingProbe* probe)
        : req_(request), folder_(folder), dir_(folderDir), mbx_(mbx), rels_(rels), probe_(probe)
    {
    }

    FilingResult Run(const mbxstat& current)
    {
        const std::uint32_t uid = current.uidNext;
        const idxkey key{uid, 0};
        _msgstat stat = req_.stat;
        stat.size = static_cast<std::uint32_t>(req_.text.size());

        int rc = Allowed(probe_, FilingStep::AddMsgStat) ? AddMsgStat(rels_.stat, uid, stat) : kDbError;
        if (rc != kOk)
            return Fail(FilingStatus::RecordFailed, rc, "AddMsgStat failed");

        rc = Allowed(probe_, FilingStep::AddMsgEnv) ? AddMsgEnv(rels_.env, key, req_.envelope) : kDbError;
        if (rc != kOk) {
            RemoveMsgStat(rels_.stat, uid);
            return Fail(FilingStatus::RecordFailed, rc, "AddMsgEnv failed");
        }

        rc = Allowed(probe_, FilingStep::AddMsgBody) ? AddMsgBody(rels_.body, rels_.env, key, key, req_.bodyStructure)
                                                     : kDbError;
        if (rc != kOk) {
            RemoveRecordsFrom(FilingStep::AddMsgEnv, key);
            return Fail(FilingStatus::RecordFailed, rc, "AddMsgBody failed");
        }

        const std::string path = MessageFilePath(dir_, uid);
        if (!WriteFile(path)) {
            int err = errno != 0 ? errno : EIO;
            RemoveRecordsFrom(FilingStep::AddMsgBody, key);
            return Fail(FilingStatus::MessageFileFailed, err, path + ": " + std::strerror(err));
        }

        mbxstat next = current;
        next.flags = static_cast<std::uint8_t>((next.flags & 7) | 4);
        ++next.totalMsgs;
        ++next.recentMsgs;
        ++next.unseenMsgs;
        ++next.uidNext;
        rc = Allowed(probe_, FilingStep::StatsUpdate) ? UpdateMbxStat(mbx_, folder_.c_str(), next, kUpdateAll)
                                                      : kDbError;
        if (rc != kOk) {
            // The file stays above uidNext, where the next filing overwrites it.
            RemoveRecordsFrom(FilingStep::AddMsgBody, key);
            return Fail(FilingStatus::StatsUpdateFailed, rc, "UpdateMbxStat failed");
        }
        FilingResult ok;
        ok.uid = uid;
        return ok;
    }

private:
    bool WriteFile(const std::string& path)
    {
        errno = 0;
        if (!Allowed(probe_, FilingStep::MessageFileCreate)) {
            errno = EIO;
            return false;
        }
        bool textAllowed = true;
        bool written = WriteMessageFile(path, req_.text, [&] { textAllowed = Allowed(probe_, FilingStep::MessageFileText); });
        if (!textAllowed) {
            errno = EIO;
            return false;
        }
        return written;
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
    FilingProbe* probe_;
};

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

FilingResult FileIntoFolder(diamondBase& base, const FilingRequest& req, FilingProbe* probe)
{
    if (req.text.size() > std::numeric_limits<std::uint32_t>::max())
        return Fail(FilingStatus::MessageFileFailed, EFBIG, "message larger than 4 GiB");
    // The folder path is used as a C string key below: refuse embedded NULs.
    if (req.folderPath.find('\0') != std::string_view::npos)
        return Fail(FilingStatus::BadFolderPath, 0, "folder path holds a NUL byte");
    const std::string folder(req.folderPath);
    const std::string home(req.homeDir);
    std::optional<std::string> dir = FolderDirectory(home, folder);
    if (!dir)
        return Fail(FilingStatus::BadFolderPath, 0, "folder path \"" + folder + "\" names no folder directory");

    mailbox mbx(&base, home.c_str(), "mailbox");
    if (!mbx.isOpen())
        return Fail(FilingStatus::RelationUnavailable, kNotOpen, mbx.lastError());
    FolderRelations rels(base, *dir);

    const int lockError = mbx.lock(false, locmail::db::kWaitForever);
    if (lockError != 0)
        return Fail(FilingStatus::LockFailed, lockError, mbx.FilePath(".id0") + ": " + std::strerror(lockError));
    struct Unlock {
        mailbox& rel;
        FilingProbe* probe;
        ~Unlock()
        {
            Allowed(probe, FilingStep::Unlock);
            rel.unlock();
        }
    } unlock{mbx, probe};

    Allowed(probe, FilingStep::StatsRead);
    mbxstat current{};
    int rc = GetMbxStat(mbx, folder.c_str(), current);
    if (rc != kOk)
        return Fail(FilingStatus::NoSuchFolder, rc, "no folder record for \"" + folder + "\"");
    if (current.uidNext == 0 || current.uidNext == std::numeric_limits<std::uint32_t>::max())
        return Fail(FilingStatus::FolderFull, 0, "folder \"" + folder + "\" has uidNext " + std::to_string(current.uidNext));
    if (const diaRel* rel = rels.Unopened()) {
        // A record whose directory is gone names a folder that is not there.
        if (!IsDirectory(*dir))
            return Fail(FilingStatus::NoSuchFolder, kNotFound, "folder directory " + *dir + " is missing");
        return Fail(FilingStatus::RelationUnavailable, kNotOpen, rel->lastError());
    }

    return FilingSteps(req, folder, *dir, mbx, rels, probe).Run(current);
}

} // namespace locmail::msgstore
