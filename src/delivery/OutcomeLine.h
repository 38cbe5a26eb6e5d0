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
// An outcome listener (one per process, set before delivery starts and kept
// while it runs) is also told every outcome, in the thread that logs it, after
// the line is written: LMTP answers each recipient from it (host/LmtpServer.h).
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
    int storeCode = 0;   // the store's exception code behind the outcome, 0 when none
    int agentStatus = 0; // the agent's last-error code (delivery/StatusCodes.h) for a returned recipient
};

std::string FormatOutcome(const OutcomeFacts& facts);
// Logs FormatOutcome (level 5 for filed, 2 otherwise) and counts it.
void LogOutcome(const OutcomeFacts& facts);

struct OutcomeCounts {
    std::uint64_t filed = 0, returned = 0, discarded = 0, deferred = 0, held = 0;
};
OutcomeCounts CountedOutcomes();

class OutcomeListener {
public:
    virtual ~OutcomeListener() = default;
    virtual void OutcomeLogged(const OutcomeFacts& facts) = 0;
};
// Null removes it.
void SetOutcomeListener(OutcomeListener* listener);

} // namespace locmail::delivery
