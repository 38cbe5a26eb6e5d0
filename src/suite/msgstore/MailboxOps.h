// Operations on the `mailbox` relation: folder records (mbxstat) by plain
// folder path ("inbox", "Spam\Old"; the bytes as given, compared exactly).
//
// Contract: callers hold the relation's lock (mailbox::lock) around changes
// and around a read whose result they act on. The record last read or written
// is also kept in the relation's folder and stat fields.
// Failure modes (OpResult.h): kNotOpen, kBadArgument (null path), kNotFound
// (GetMbxStat/UpdateMbxStat: no record), kExists (AddMbx: already there),
// kDbError. Nothing throws except std::bad_alloc.
#pragma once

#include "suite/msgstore/OpResult.h"
#include "suite/msgstore/Records.h"
#include "suite/msgstore/Relations.h"

#include <string>
#include <utility>
#include <vector>

int AddMbx(mailbox& rel, const char* folder, const mbxstat& record);
int GetMbxStat(mailbox& rel, const char* folder, mbxstat& record);
// Writes the fields of RECORD that MASK names (locmail::msgstore::kUpdate*).
int UpdateMbxStat(mailbox& rel, const char* folder, const mbxstat& record, int mask);

namespace locmail::msgstore {

// Every folder record of the relation, ordered by path.
int ListMbx(mailbox& rel, std::vector<std::pair<std::string, mbxstat>>& out);

} // namespace locmail::msgstore
