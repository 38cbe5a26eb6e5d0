// FileMessage: files one message file into a named folder of a user's
// mailbox without the store's AddUserMsg, for the spam steps (the Bayesian
// filter object and, through it, the X Scanner).
//
// Steps and the codes of their failures, in order:
//   -1  the folder path does not encode (null, or out of memory);
//   -2  no folder directory path (no memory, or a null home directory);
//   -3  the folder directory is missing and CreateMbx fails; this happens
//       before the message file is looked at, so a folder made here stays
//       whatever comes after;
//   -4  the message file's size is not available (missing, inaccessible);
//   -5  no memory for the message text (size + 1 bytes, zero-filled);
//   -6  the message file does not open for reading;
//   -7  reading gives fewer bytes than the size;
//   then the header split of suite/msgstore/HeaderSplit.h, c-client's full parse (default
//   host ".MISSING-HOST-NAME.", depth 0, flags 0) and a status record with
//   the receipt time now, the file's size and the header size, handed to the
//   store's one filing transaction (suite/msgstore/Filing.h) under the lock
//   of the home's `mailbox` relation;
//   -8  the folder's statistics cannot be read: no `mailbox` record for it
//       (or its directory is gone, its name is unusable, the home's relation
//       does not open, the lock cannot be taken);
//   -9  storing failed after the records were begun: a record, the message
//       file or the statistics update failed (all undone by the transaction),
//       or the folder has no UIDs left.
// A failure is logged at level 1 under "Bayesian filter" as
// "FileMessage - Catch error: <code>" and the result is false. The message
// file is only read; the caller still owns it.
//
// Contract: one call is one transaction on the folder; nothing is held when it
// returns.
// Failure modes: false as above; std::bad_alloc from the parse or the store
// passes to the caller.
#pragma once

namespace locmail::filing {

bool FileMessage(const char* homeDir, const char* messagePath, const char* folderPath);

} // namespace locmail::filing
