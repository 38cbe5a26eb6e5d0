#include "host/LmtpOutcomes.h"

#include "host/LmtpReply.h"
#include "suite/msgstore/HomeName.h"

namespace locmail::host {
namespace {

constexpr auto kKeepPublished = std::chrono::minutes(5);

} // namespace

void OutcomeBoard::OutcomeLogged(const delivery::OutcomeFacts& facts)
{
    const std::string recipient = facts.to != nullptr ? facts.to : "";
    Line line{facts.queueId, msgstore::FoldAddress(recipient), LmtpReplyFor(facts, recipient)};
    std::lock_guard lock(mutex_);
    if (facts.status == delivery::Outcome::Filed || facts.status == delivery::Outcome::Discarded)
        held_.push_back(std::move(line));
    else
        Publish(std::move(line));
}

void OutcomeBoard::MadeDurable(bool ok)
{
    std::lock_guard lock(mutex_);
    if (!ok)
        return;
    PruneOld();
    for (Line& line : held_)
        Publish(std::move(line));
    held_.clear();
}

void OutcomeBoard::GiveUp(uint32_t id, std::string line)
{
    std::lock_guard lock(mutex_);
    Publish(Line{id, "", std::move(line)});
}

void OutcomeBoard::Close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

void OutcomeBoard::Publish(Line line)
{
    Known& known = known_[line.id];
    known.published = Clock::now();
    Published published{known.published, std::move(line.text)};
    if (line.recipient.empty())
        known.whole = std::move(published);
    else
        known.byRecipient[line.recipient] = std::move(published);
    changed_.notify_all();
}

void OutcomeBoard::PruneOld()
{
    const auto cutoff = Clock::now() - kKeepPublished;
    std::erase_if(known_, [&](const auto& item) { return item.second.published < cutoff; });
}

bool OutcomeBoard::Answered(uint32_t id, const std::vector<std::string>& recipients, Clock::time_point since,
                            std::vector<std::string>& lines) const
{
    lines.assign(recipients.size(), "");
    auto known = known_.find(id);
    bool all = true;
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        if (known != known_.end()) {
            const auto& byRecipient = known->second.byRecipient;
            auto line = byRecipient.find(msgstore::FoldAddress(recipients[i]));
            const Published& found = line != byRecipient.end() ? line->second : known->second.whole;
            if (found.at >= since)
                lines[i] = found.text;
        }
        all = all && !lines[i].empty();
    }
    return all;
}

std::vector<std::string> OutcomeBoard::Await(uint32_t id, const std::vector<std::string>& recipients,
                                             Clock::time_point since, Clock::time_point deadline)
{
    std::vector<std::string> lines;
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return Answered(id, recipients, since, lines) || closed_; });
    Answered(id, recipients, since, lines);
    return lines;
}

} // namespace locmail::host
