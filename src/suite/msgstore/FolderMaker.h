// Making the folders of a home: the one folder maker, for new accounts (their
// "inbox"), for filings that ask for a missing folder to be made, and for the
// agent's CreateMbx.
//
// EnsureFolder normalizes FOLDERPATH (FolderPath.h: empty levels dropped; the
// record keys are the normalized prefixes), walks it level by level ("Spam",
// then "Spam\Old") and makes each level that has no mbxstat record in the
// home's `mailbox` relation: its directory, the eight template files from
// TEMPLATEDIR that the directory lacks, and the record (uidNext 1, counters 0,
// flags 0, created now; a directory that already holds messages gets a record
// that starts above them and counts them). A level's record is checked and its files and record
// made under the relation's lock, so two makers (two processes, or the agent's
// filing and the store's) never both add it, and the one that comes second
// finds the level made. A directory that exists without its record is
// completed rather than taken as a folder: such a directory was left by a
// creation that failed half-way, and no filing could ever use it.
//
// Contract: MBX is the `mailbox` relation opened on the home directory. New
// directories are marked for the next sync point (db/SyncPoint.h).
// Failure modes: BadFolderPath (EINVAL) when the path has no level or a level
// names no safe directory (a `/` or a NUL byte); Failed when the lock (waited
// for at most kMailboxLockWaitMs), a directory, a template copy or the record
// could not be had (error gives the errno value, detail says which). Levels
// made before a failure stay. Nothing throws except std::bad_alloc.
#pragma once

#include "suite/msgstore/Relations.h"

#include <string>
#include <string_view>

namespace locmail::msgstore {

enum class MakeFolderStatus { Ready, BadFolderPath, Failed };

struct [[nodiscard]] MakeFolderResult {
    MakeFolderStatus status = MakeFolderStatus::Ready;
    int levelsMade = 0;
    int error = 0; // errno value of a failure (FailureClass.h)
    std::string detail;

    bool ok() const { return status == MakeFolderStatus::Ready; }
};

MakeFolderResult EnsureFolder(mailbox& mbx, const std::string& templateDir, std::string_view folderPath);

} // namespace locmail::msgstore
