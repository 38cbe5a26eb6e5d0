// What became of a recipient's copy, as one log line an operator can grep,
// like an MTA's: the queue id, the status and who and where.
//
//   <0000006E> status=filed from=<a@x> to=<bob@example.org> folder=inbox uid=12 message-id=<m@x>
//   <0000006F> status=deferred from=<a@x> to=<eve@example.org> reason="its mailbox cannot take mail now"
//
// Statuses: filed (one folder=... uid=... pair per copy), returned (to the
// sender or the postmaster), discarded (no copy kept, on purpose), deferred
// (still queued) and held (the whole message, for an operator). Every status
// but filed carries a reason. A value with a space, '"' or '\' is quoted.
// The lines go to the module "Delivery"; each one is also counted in a
// process-wide tally (relaxed atomics) for the run's summary.
// Failure modes: none; nothing throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::delivery {

enum class Outcome { Filed, Returned, Discarded, Deferred, Held };

struct CopyPlace {
    std::string folder;
    std::uint32_t uid;
};

struct OutcomeFacts {
    std::uint32_t queueId = 0;
    Outcome status = Outcome::Filed;
    const char* from = nullptr; // null: not known (a held message is not read that far)
    const char* to = nullptr;
    const char* messageId = nullptr; // null: the message has none
    std::vector<CopyPlace> copies;
    std::string_view reason;
};

std::string FormatOutcome(const OutcomeFacts& facts);
// Logs FormatOutcome (level 5 for filed, 2 otherwise) and counts it.
void LogOutcome(const OutcomeFacts& facts);

struct OutcomeCounts {
    std::uint64_t filed = 0, returned = 0, discarded = 0, deferred = 0, held = 0;
};
OutcomeCounts CountedOutcomes();

} // namespace locmail::delivery
