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
// entry. Published lines are kept for a few minutes. Await waits until every
// recipient asked for has a line published at SINCE or later (the session's
// commit: a retry whose entry was queued already waits for that entry's next
// outcomes, not for the answers its first try got), the deadline passes or
// Close() is called; the missing ones come back empty. GiveUp(ID, LINE) answers every recipient of
// ID that has no line yet with LINE (the store stopped the walk and the entry
// stays queued: its waiting sessions need not wait for the bound). Thread-safe.
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
    void GiveUp(uint32_t id, std::string line);
    void Close();

    // One line per item of RECIPIENTS, empty when not known by DEADLINE.
    std::vector<std::string> Await(uint32_t id, const std::vector<std::string>& recipients, Clock::time_point since,
                                   Clock::time_point deadline);

private:
    struct Line {
        uint32_t id;
        std::string recipient; // folded; empty: every recipient of the entry
        std::string text;
    };
    struct Published {
        Clock::time_point at;
        std::string text;
    };
    struct Known {
        Clock::time_point published; // the latest line
        std::map<std::string, Published> byRecipient;
        Published whole;
    };

    void Publish(Line line);
    bool Answered(uint32_t id, const std::vector<std::string>& recipients, Clock::time_point since,
                  std::vector<std::string>& lines) const;
    void PruneOld();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Line> held_;
    std::map<uint32_t, Known> known_;
    bool closed_ = false;
};

} // namespace locmail::host
