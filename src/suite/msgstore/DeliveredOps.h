// The `delivered` table of a home's `mailbox` relation: for each delivery key,
// recipient and folder, the UID its copy was filed under (DeliveryScope.h).
//
// Contract: RecordDelivered runs inside the filing's transaction, so the key
// commits with the folder statistics or not at all. FindDelivered looks a key
// up (recipients compare without regard to ASCII case, folders byte for
// byte). PruneDelivered removes at most LIMIT records older than BEFORE
// (seconds since 1970), oldest first, so one call has a bounded cost. Callers
// hold the relation's lock.
// Failure modes (OpResult.h): kNotOpen, kNotFound (FindDelivered: no such
// record), kDbError (the connection's LastErrno tells why). Nothing throws
// except std::bad_alloc.
#pragma once

#include "suite/msgstore/OpResult.h"
#include "suite/msgstore/Relations.h"

#include <cstdint>
#include <ctime>
#include <string_view>

namespace locmail::msgstore {

struct DeliveryRecord {
    std::string_view key;
    std::string_view recipient;
    std::string_view folder;
};

int FindDelivered(mailbox& rel, const DeliveryRecord& record, std::uint32_t& uid);
int RecordDelivered(mailbox& rel, const DeliveryRecord& record, std::uint32_t uid, std::time_t at);
int PruneDelivered(mailbox& rel, std::time_t before, int limit);

} // namespace locmail::msgstore
