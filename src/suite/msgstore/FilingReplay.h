// A replay: a filing whose delivery key, recipient and folder are already
// recorded (DeliveryScope.h). The copy was committed once; this puts back
// what a power cut may have taken of it and files nothing new.
//
// A commit survives a power cut together with its statistics, but the
// folder's relations and the message file are other files, made durable by
// the same sync point and not atomically with the commit. So: the msgstat,
// msgenv and msgbody records of UID are added again when missing (or, for a
// text in the heap, unreadable), and the message file is written again when
// it is missing or differs from the prefix and REQUEST's text. The statistics
// are never touched. Nothing is repaired when the folder is gone or UID is not
// below its uidNext (the copy went with the folder, or a later filing owns
// that place).
//
// Contract: called by FileIntoFolder under the home's mailbox lock.
// Failure modes: a failed result (status and errno of the step) when the
// folder record cannot be read or a repair cannot be written; the key stays,
// so the next try repairs again. Nothing throws except std::bad_alloc.
#pragma once

#include "suite/msgstore/FilingParts.h"

#include <cstdint>
#include <string>

namespace locmail::msgstore {

struct ReplayTarget {
    const std::string& folder;    // the folder path, key of its mbxstat
    const std::string& folderDir; // its directory
    std::uint32_t uid;            // the UID the copy was filed under
};

FilingResult RepairReplay(const FilingRequest& request, const ReplayTarget& target, mailbox& mbx,
                          FolderRelations& rels);

} // namespace locmail::msgstore
