// Reading a folder as the store's readers must: the messages that count.
//
// A message is visible when its UID is below the folder's uidNext, its status
// record exists and its message file exists. Records above uidNext belong to
// a filing that has not committed (or died); a record whose file is missing
// (possible only after a power cut broke the expected order of writes, see
// docs/store-format.md) is skipped as well, so a reader never offers a message
// it cannot deliver. Takes a shared lock on the home's mailbox relation while
// it reads (waiting at most kMailboxLockWaitMs), so it sees one committed
// state of the folder.
// Failure modes: a non-zero operation code (OpResult.h) with OUT empty;
// kBadArgument for a folder path that names no folder directory.
#pragma once

#include "suite/db/diamondBase.h"
#include "suite/msgstore/Records.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace locmail::msgstore {

struct FolderView {
    mbxstat stat{};
    std::vector<std::uint32_t> uids; // visible messages, ascending
    std::vector<std::uint32_t> skipped; // below uidNext with a record but without a file
};

int ReadFolder(diamondBase& base, std::string_view homeDir, std::string_view folderPath, FolderView& out);

} // namespace locmail::msgstore
