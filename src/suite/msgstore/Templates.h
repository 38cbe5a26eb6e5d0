// The eight template relation files that every new folder starts from, in the
// order in which they are copied:
//   msgbody.db  msgbody.id0  msgbody.str  msgenv.db  msgenv.id0  msgenv.str
//   msgstat.db  msgstat.id0
// NAME.db is an empty relation database with its schema installed and WAL mode
// set; NAME.id0 is the relation's lock file (its text names the relation);
// NAME.str is an empty text heap (its 16-byte header). msgstat keeps no texts,
// hence no heap.
//
// Contract: WriteStoreTemplates (for `locmail init`) writes all eight into
// HOMEDIR, replacing what is there, each one durably (written beside, synced,
// renamed into place, then the directory synced).
// Failure modes: false with ERROR naming the file and the cause; files written
// before the failure stay.
#pragma once

#include <array>
#include <string>

namespace locmail::msgstore {

inline constexpr std::array<const char*, 8> kTemplateFiles = {
    "msgbody.db", "msgbody.id0", "msgbody.str", "msgenv.db", "msgenv.id0", "msgenv.str", "msgstat.db", "msgstat.id0"};

bool WriteStoreTemplates(const std::string& homeDir, std::string& error);

} // namespace locmail::msgstore
