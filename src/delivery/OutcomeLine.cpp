#include "delivery/OutcomeLine.h"

#include "suite/log/LogMessage.h"

#include <atomic>
#include <cstdio>

namespace locmail::delivery {
namespace {

constexpr const char* kModule = "Delivery";

std::atomic<std::uint64_t> g_counts[5];
std::atomic<OutcomeListener*> g_listener{nullptr};

const char* StatusWord(Outcome status)
{
    switch (status) {
    case Outcome::Filed: return "filed";
    case Outcome::Returned: return "returned";
    case Outcome::Discarded: return "discarded";
    case Outcome::Deferred: return "deferred";
    case Outcome::Held: return "held";
    }
    return "unknown";
}

// NAME=VALUE, the value quoted when a space or quote would make it ambiguous.
std::string Field(std::string_view name, std::string_view value)
{
    std::string out = " " + std::string(name) + "=";
    if (value.find_first_of(" \"\\") == std::string_view::npos && !value.empty())
        return out + std::string(value);
    out += '"';
    for (char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string FormatOutcome(const OutcomeFacts& facts)
{
    char id[16];
    std::snprintf(id, sizeof id, "<%08X>", static_cast<unsigned>(facts.queueId));
    std::string line = std::string(id) + " status=" + StatusWord(facts.status);
    if (facts.from != nullptr)
        line += " from=<" + std::string(facts.from) + ">";
    if (facts.to != nullptr)
        line += " to=<" + std::string(facts.to) + ">";
    for (const CopyPlace& copy : facts.copies)
        line += Field("folder", copy.folder) + " uid=" + std::to_string(copy.uid);
    if (facts.messageId != nullptr)
        line += Field("message-id", facts.messageId);
    if (facts.status != Outcome::Filed)
        line += Field("reason", facts.reason);
    return line;
}

void LogOutcome(const OutcomeFacts& facts)
{
    g_counts[static_cast<int>(facts.status)].fetch_add(1, std::memory_order_relaxed);
    log::Write(facts.status == Outcome::Filed ? 5 : 2, kModule, FormatOutcome(facts));
    if (OutcomeListener* listener = g_listener.load(std::memory_order_acquire))
        listener->OutcomeLogged(facts);
}

void SetOutcomeListener(OutcomeListener* listener) { g_listener.store(listener, std::memory_order_release); }

OutcomeCounts CountedOutcomes()
{
    auto count = [](Outcome status) { return g_counts[static_cast<int>(status)].load(std::memory_order_relaxed); };
    return OutcomeCounts{count(Outcome::Filed), count(Outcome::Returned), count(Outcome::Discarded),
                         count(Outcome::Deferred), count(Outcome::Held)};
}

} // namespace locmail::delivery
