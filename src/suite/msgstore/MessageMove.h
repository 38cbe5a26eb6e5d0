// Moving one message between two folders of a home (the learning command's
// trained messages).
//
// Under the exclusive lock of the home's `mailbox` relation: the message is
// read whole (text, status record with its flags and receipt time, envelope,
// body structure); the target folder is made when it is missing
// (EnsureFolder); the copy goes through the one filing transaction
// (Filing.h) under a DeliveryScope whose key names the source folder (with its
// creation time) and UID; then the source's records, counters and file go.
// So a move repeated after a crash between the two halves finds its copy as
// a replay and only finishes the removal: the message is never lost and never
// filed twice. Removing the status record first makes the message invisible
// at once (readers count UIDs with a record); the counters follow (total,
// unseen without \Seen, recent unless marked old), then the envelope, the body
// structure and the file. Moving a message into its own folder does nothing.
//
// Failure modes: NotFound when no visible message has that UID; Failed (with
// errno value and detail) when the lock, a relation, the copy or the removal
// of the status record failed. A failure after the status record is gone
// leaves nothing visible behind and is reported as Moved.
#pragma once

#include "suite/db/diamondBase.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace locmail::msgstore {

enum class MoveStatus { Moved, NotFound, Failed };

struct [[nodiscard]] MoveResult {
    MoveStatus status = MoveStatus::Moved;
    std::uint32_t uid = 0; // the message's UID in the target folder
    int error = 0;
    std::string detail;

    bool ok() const { return status == MoveStatus::Moved; }
};

MoveResult MoveMessage(diamondBase& base, const std::string& templateDir, std::string_view homeDir,
                       std::string_view fromFolder, std::uint32_t uid, std::string_view toFolder);

} // namespace locmail::msgstore
