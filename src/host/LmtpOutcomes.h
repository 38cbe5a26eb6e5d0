// Where LMTP sessions wait for the outcomes of the entries they queued: the
// process's outcome listener (delivery/OutcomeLine.h), keyed by queue id and
// recipient.
//
// Contract: OutcomeLogged (the delivery thread) turns each outcome into its
// reply line (LmtpReply.h). A filed or discarded recipient's line is held
// back until MadeDurable(true): the delivery thread calls it when the store's
// writes of a batch are durable (WalkControl::MakeDurable), which covers
// every outcome logged before; MadeDurable(false) keeps them held for the
// next sync that succeeds. Other lines are published at once. An outcome
// without a recipient (a held message) counts for every recipient of its
// entry. Published lines are kept for a few minutes, so that a session that
// asks after its entry was delivered (a retry of a transaction whose entry
// was queued already) still finds them. Await waits until every recipient
// asked for has a line, the deadline passes or Close() is called; the
// missing ones come back empty. Thread-safe.
// Limitation: an entry id that comes round again within those minutes (after
// a crash left the queue's id counter behind) could find the old entry's lines.
// Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include "delivery/OutcomeLine.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace locmail::host {

class OutcomeBoard final : public delivery::OutcomeListener {
public:
    using Clock = std::chrono::steady_clock;

    void OutcomeLogged(const delivery::OutcomeFacts& facts) override;
    void MadeDurable(bool ok);
    void Close();

    // One line per item of RECIPIENTS, empty when not known by DEADLINE.
    std::vector<std::string> Await(uint32_t id, const std::vector<std::string>& recipients, Clock::time_point deadline);

private:
    struct Line {
        uint32_t id;
        std::string recipient; // folded; empty: every recipient of the entry
        std::string text;
    };
    struct Known {
        Clock::time_point published;
        std::map<std::string, std::string> byRecipient;
        std::string whole;
    };

    void Publish(Line line);
    bool Answered(uint32_t id, const std::vector<std::string>& recipients, std::vector<std::string>& lines) const;
    void PruneOld();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Line> held_;
    std::map<uint32_t, Known> known_;
    bool closed_ = false;
};

// ADDRESS with ASCII letters in lower case, as the board and the store match addresses.
std::string FoldedAddress(std::string_view address);

} // namespace locmail::host
