// CreateMbx: makes sure a folder and every folder above it exist in a user's
// home directory, creating the missing levels from the store's templates.
//
// For each level of FOLDERPATH (the part before the first `\`, then before the
// second, ..., then the whole path): a level whose directory exists counts as
// complete and is left alone; otherwise its directory is made, the eight
// template files are copied in from [MsgStore] HomeDir of qxmta.ini (replacing
// files of the same name), and a new mbxstat (uidNext 1, counters 0, creation
// time now) is added to MBX under the plain prefix as written, while MBX is
// locked. An empty folder path creates nothing. Runs before the caller takes
// its own lock on MBX: CreateMbx takes it only around each AddMbx.
//
// Contract: MBX is the `mailbox` relation opened on HOMEDIR. Template paths are
// HomeDir, "/" and the file name (an empty HomeDir means the root directory);
// they must stay below 260 characters, so a HomeDir longer than 247 characters
// (or one that filled the 260-byte setting buffer) is refused before anything
// is made. Logs nothing; the caller reports the failure.
// Failure modes: false when the home, folder path or setting is unusable, a
// level names no safe directory, a directory cannot be made, a template file
// cannot be copied, or AddMbx fails. Nothing made before the failure is
// removed; a later call treats a level whose directory exists as complete.
#pragma once

class mailbox;

bool CreateMbx(mailbox& mbx, const char* homeDir, const char* folderPath);
