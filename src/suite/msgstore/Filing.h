// The filing transaction: the one writer of a message into a folder, used by
// the agent's FileMessage and by CMsgStore's AddUserMsg and AddSharedMsg.
//
// Steps, under the exclusive lock of the home's `mailbox` relation (waited
// for at most FilingRequest::lockWaitMs):
//   under a DeliveryScope, look KEY + RECIPIENT + folder up: when recorded,
//   this is a replay (below);
//   read the folder's mbxstat; UID = uidNext;
//   AddMsgStat, AddMsgEnv, AddMsgBody (records above uidNext are not yet visible);
//   in the home's `mailbox` transaction: record KEY + RECIPIENT + folder -> UID
//   (under a scope) and UpdateMbxStat: flags (f & 7) | 4, the three counters
//   + 1, uidNext + 1 (mask 31);
//   write the message file FOLDERDIR/UID;
//   commit the folder's three relations, then the `mailbox` transaction.
// That last commit is the commit point: a reader sees a message only when its
// UID is below uidNext, and by then its records and its complete file exist.
// A failing step undoes the earlier ones: the transactions roll back (so the
// statistics, flags included, and the key stay as they were), records already
// committed are removed, and a message file written for the UID is removed,
// so no failure leaves a file above uidNext. The lock is released on every
// path. Nothing is synced here: the records, the file and the commit become
// durable together at the host's next sync point (locmail::db::SyncPoint,
// CMsgStore::MakeDurable).
//
// A replay reports success with the recorded UID and files no second copy. It
// never changes the statistics; it puts back what a power cut may have taken
// of a copy whose commit survived: missing msgstat, msgenv or msgbody records
// of that UID are added again, and a message file that is missing or differs
// from the prefix and text is written again.
//
// Crash (kill -9) at any point: either the commit happened and the message is
// filed whole (a retry under the same scope is a replay), or uidNext is
// unchanged and no key is recorded, and whatever the dead filer left above
// uidNext (records, a whole or partial file: a killed filer is the only way
// a file gets there) is overwritten by the next filing, which gets the same
// UID. No UID is ever given to two visible messages.
//
// Contract: the caller makes sure the folder exists (EnsureFolder, which the
// agent's CreateMbx calls too) and supplies the serialised envelope and body
// structure, and a _msgstat whose size is taken from the text (the record's
// size field is set to the text's length). The folder path is normalized
// (FolderPath.h) before anything uses it. The lock is re-entrant, so a caller
// may already hold the mailbox lock exclusively (one held shared is refused:
// LockFailed with EDEADLK).
// Failure modes: the result's status names the failing step (see
// FilingStatus) and its error the errno value (FailureClass.h classes it;
// StoreCodes.h gives the exception code); nothing throws except std::bad_alloc.
#pragma once

#include "suite/db/diamondBase.h"
#include "suite/msgstore/Records.h"
#include "suite/msgstore/Relations.h"

#include <cstdint>
#include <string>
#include <string_view>

struct mail_envelope;
struct mail_bodystruct;

namespace locmail::msgstore {

enum class FilingStatus {
    Filed,
    BadFolderPath,       // no level, or a level that is not a safe directory name
    RelationUnavailable, // a relation's database could not be opened (see detail)
    LockFailed,          // the home's mailbox lock could not be taken (ETIMEDOUT: held too long by another)
    NoSuchFolder,        // no record for the folder, or its directory is gone (ENOENT); or the record
                         // could not be read (another errno)
    FolderFull,          // uidNext has reached the last UID
    RecordFailed,        // AddMsgStat, AddMsgEnv or AddMsgBody failed; undone
    MessageFileFailed,   // the message file could not be written; undone, the file removed
    StatsUpdateFailed,   // the delivery key, UpdateMbxStat or the commit failed; undone
};

const char* FilingStatusName(FilingStatus status);

struct [[nodiscard]] FilingResult {
    FilingStatus status = FilingStatus::Filed;
    std::uint32_t uid = 0; // the message's UID when filed
    bool replayed = false; // filed before under this delivery scope; nothing new was filed
    int error = 0;         // the failure's errno value (every failure has one)
    std::string detail;    // what failed, for a log line (with std::strerror(error) beside it)

    bool ok() const { return status == FilingStatus::Filed; }
};

struct FilingRequest {
    std::string_view homeDir;    // the user's (or shared mailbox's) home
    std::string_view folderPath; // plain folder path; its normalized form keys the mbxstat
    std::string_view text;       // the whole message
    _msgstat stat{};             // receipt time, flags, header size
    std::string envelope;        // IMAP ENVELOPE
    std::string bodyStructure;   // IMAP BODYSTRUCTURE
    unsigned long lockWaitMs = kMailboxLockWaitMs; // the longest wait for the home's mailbox lock

    // Fills envelope and bodyStructure from c-client's parse.
    void Describe(const mail_envelope* parsedEnvelope, const mail_bodystruct* parsedBody);
};

FilingResult FileIntoFolder(diamondBase& base, const FilingRequest& request);

} // namespace locmail::msgstore
