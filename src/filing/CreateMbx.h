// CreateMbx: makes sure a folder and every folder above it exist in a user's
// home directory, creating the missing levels from the store's templates.
//
// The folder is made by the store's one folder maker (EnsureFolder,
// suite/msgstore/FolderMaker.h), which CMsgStore uses too: the path is
// normalized (empty levels dropped, so `\Junk` is the folder "Junk"), and each
// level without its mbxstat record gets its directory, the template files it
// lacks (from [MsgStore] HomeDir of qxmta.ini) and its record (uidNext 1,
// counters 0, creation time now), checked and added under MBX's lock. A level
// another process made meanwhile is taken as it is. An empty folder path
// creates nothing. Runs before the caller takes its own lock on MBX.
//
// Contract: MBX is the `mailbox` relation opened on HOMEDIR. Template paths are
// HomeDir, "/" and the file name (an empty HomeDir means the root directory);
// they must stay below 260 characters, so a HomeDir longer than 247 characters
// (or one that filled the 260-byte setting buffer) is refused before anything
// is made. Logs nothing; the caller reports the failure.
// Failure modes: false when the home, folder path or setting is unusable, a
// level names no safe directory, a directory cannot be made, a template file
// cannot be copied, or the record cannot be read or added. Nothing made before
// the failure is removed; the next call completes a level that has no record.
#pragma once

class mailbox;

bool CreateMbx(mailbox& mbx, const char* homeDir, const char* folderPath);
