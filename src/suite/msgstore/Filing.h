// The filing transaction: the one writer of a message into a folder, used by
// the agent's FileMessage and by CMsgStore's AddUserMsg and AddSharedMsg.
//
// Steps, under the exclusive lock of the home's `mailbox` relation:
//   read the folder's mbxstat; UID = uidNext;
//   AddMsgStat, AddMsgEnv, AddMsgBody (records above uidNext are not yet visible);
//   write the message file FOLDERDIR/UID and fsync it;
//   UpdateMbxStat: flags (f & 7) | 4, the three counters + 1, uidNext + 1 (mask 31).
// The statistics update is the commit point: a reader sees a message only when
// its UID is below uidNext, and by then its records and its complete, durable
// file exist. A failing step undoes the earlier ones in reverse order (the
// records are removed; the statistics were not yet written), and the lock is
// released on every path.
//
// Crash (kill -9) at any point: either the update committed and the message is
// filed whole, or uidNext is unchanged, and whatever the dead filer left above
// it (records, a partial file) is overwritten by the next filing, which gets
// the same UID. No UID is ever given to two visible messages.
//
// Contract: the caller makes sure the folder exists (CreateMbx) and supplies
// the serialised envelope and body structure, and a _msgstat whose size is
// taken from the text (the record's size field is set to the text's length).
// The lock is re-entrant, so a caller may already hold the mailbox lock.
// Failure modes: the result's status names the failing step (see
// FilingStatus); nothing throws except std::bad_alloc.
#pragma once

#include "suite/db/diamondBase.h"
#include "suite/msgstore/Records.h"

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
    LockFailed,          // the home's mailbox lock could not be taken
    NoSuchFolder,        // no record for the folder, or its directory is gone
    FolderFull,          // uidNext has reached the last UID
    RecordFailed,        // AddMsgStat, AddMsgEnv or AddMsgBody failed; undone
    MessageFileFailed,   // the message file could not be written durably; undone
    StatsUpdateFailed,   // UpdateMbxStat failed; undone
};

const char* FilingStatusName(FilingStatus status);

struct [[nodiscard]] FilingResult {
    FilingStatus status = FilingStatus::Filed;
    std::uint32_t uid = 0; // the message's UID when filed
    int error = 0;         // errno for the message file; the operation's code for records
    std::string detail;    // what failed, for a log line

    bool ok() const { return status == FilingStatus::Filed; }
};

struct FilingRequest {
    std::string_view homeDir;    // the user's (or shared mailbox's) home
    std::string_view folderPath; // plain folder path, the key of its mbxstat
    std::string_view text;       // the whole message
    _msgstat stat{};             // receipt time, flags, header size
    std::string envelope;        // IMAP ENVELOPE
    std::string bodyStructure;   // IMAP BODYSTRUCTURE

    // Fills envelope and bodyStructure from c-client's parse.
    void Describe(const mail_envelope* parsedEnvelope, const mail_bodystruct* parsedBody);
};

// Points of the transaction, in order, for tests that fail or stop it there.
enum class FilingStep {
    StatsRead,
    AddMsgStat,
    AddMsgEnv,
    AddMsgBody,
    MessageFileCreate,
    MessageFileText, // after the six prefix bytes, before the text
    StatsUpdate,
    Unlock,
};

// A test seam: Reached is called at each step before it runs; returning false
// makes that step fail as if the library had (StatsRead and Unlock cannot fail).
class FilingProbe {
public:
    virtual ~FilingProbe() = default;
    virtual bool Reached(FilingStep step) = 0;
};

FilingResult FileIntoFolder(diamondBase& base, const FilingRequest& request, FilingProbe* probe = nullptr);

} // namespace locmail::msgstore
