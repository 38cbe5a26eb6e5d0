#include "suite/msgstore/FilingReplay.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"

#include <cerrno>

namespace locmail::msgstore {
namespace {

bool FileHolds(const std::string& path, std::string_view text)
{
    std::string stored;
    return ReadMessageFile(path, stored) && stored == text;
}

// A record that is not there, or whose text in the heap is torn, is written again.
bool NeedsRewrite(int getResult) { return getResult == kNotFound || getResult == kHeapError; }

class Repair {
public:
    Repair(const FilingRequest& request, const ReplayTarget& target, FolderRelations& rels)
        : req_(request), target_(target), rels_(rels), key_{target.uid, 0}
    {
    }

    FilingResult Run()
    {
        const std::string path = MessageFilePath(target_.folderDir, target_.uid);
        if (!FileHolds(path, req_.text)) {
            if (!WriteMessageFile(path, req_.text)) {
                const int err = errno != 0 ? errno : EIO;
                return FilingFailure(FilingStatus::MessageFileFailed, err, "writing " + path + " again failed");
            }
            locmail::db::MarkDirty(target_.folderDir);
        }
        if (int rc = StatusRecord(); rc != kOk)
            return Failed("msgstat", rc, rels_.stat);
        if (int rc = Envelope(); rc != kOk)
            return Failed("msgenv", rc, rels_.env);
        if (int rc = BodyStructure(); rc != kOk)
            return Failed("msgbody", rc, rels_.body);
        FilingResult ok;
        ok.uid = target_.uid;
        ok.replayed = true;
        return ok;
    }

private:
    int StatusRecord()
    {
        _msgstat stored{};
        int rc = GetMsgStat(rels_.stat, target_.uid, stored);
        if (!NeedsRewrite(rc))
            return rc;
        _msgstat stat = req_.stat;
        stat.size = static_cast<std::uint32_t>(req_.text.size());
        return Saved(AddMsgStat(rels_.stat, target_.uid, stat));
    }

    int Envelope()
    {
        std::string stored;
        int rc = GetMsgEnv(rels_.env, key_, stored);
        return NeedsRewrite(rc) ? Saved(AddMsgEnv(rels_.env, key_, req_.envelope)) : rc;
    }

    int BodyStructure()
    {
        std::string stored;
        int rc = GetMsgBody(rels_.body, key_, stored);
        return NeedsRewrite(rc) ? Saved(AddMsgBody(rels_.body, rels_.env, key_, key_, req_.bodyStructure)) : rc;
    }

    // Keeps the errno of a heap failure before anything else can change it.
    int Saved(int rc)
    {
        savedErrno_ = errno;
        return rc;
    }

    FilingResult Failed(const char* relation, int rc, const diaRel& rel)
    {
        return FilingFailure(FilingStatus::RecordFailed, OperationErrno(rc, rel, savedErrno_),
                             std::string("repairing the ") + relation + " record of UID " + std::to_string(target_.uid)
                                 + " in " + target_.folderDir + " failed");
    }

    const FilingRequest& req_;
    const ReplayTarget& target_;
    FolderRelations& rels_;
    const idxkey key_;
    int savedErrno_ = 0;
};

} // namespace

FilingResult RepairReplay(const FilingRequest& request, const ReplayTarget& target, mailbox& mbx,
                          FolderRelations& rels)
{
    FilingResult gone;
    gone.uid = target.uid;
    gone.replayed = true;
    mbxstat current{};
    const int rc = GetMbxStat(mbx, target.folder.c_str(), current);
    if (rc != kOk && rc != kNotFound)
        return FilingFailure(FilingStatus::NoSuchFolder, OperationErrno(rc, mbx),
                             "reading the record of folder \"" + target.folder + "\" failed");
    if (rc == kNotFound || !IsDirectory(target.folderDir) || target.uid >= current.uidNext)
        return gone;
    if (const diaRel* rel = rels.Unopened())
        return FilingFailure(FilingStatus::RelationUnavailable, OperationErrno(kNotOpen, *rel), rel->lastError());
    return Repair(request, target, rels).Run();
}

} // namespace locmail::msgstore
