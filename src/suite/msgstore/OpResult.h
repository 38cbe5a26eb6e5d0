// Result codes of the relation operations (AddMbx, GetMbxStat, AddMsgStat, ...).
// 0 is success; every other value is a failure, as callers rely on.
#pragma once

namespace locmail::msgstore {

inline constexpr int kOk = 0;
inline constexpr int kNotOpen = 1;     // the relation's database could not be opened
inline constexpr int kNotFound = 2;    // no record under that key
inline constexpr int kExists = 3;      // AddMbx: the folder already has a record
inline constexpr int kDbError = 4;     // SQLite failed (I/O error, disk full, busy, corrupt)
inline constexpr int kHeapError = 5;   // the NAME.str heap could not be written or read back
inline constexpr int kBadArgument = 6; // null text, or relations of different folders

// Texts up to this many bytes stay in their row; longer ones go to the heap.
inline constexpr unsigned kInlineTextLimit = 2048;

} // namespace locmail::msgstore
