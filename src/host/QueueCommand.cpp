// locmail queue ls: every entry with its arrival, age, size, sender, recipients
// and state: waiting; deferred, with the attempts, the next attempt and who
// waits; held (listed last), with the reason. --json gives the same as an
// array of objects.
#include "host/Commands.h"
#include "host/JsonOutput.h"
#include "host/QueueArgument.h"
#include "host/Settings.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/QueueListing.h"
#include "suite/platform/Printable.h"

#include <sysexits.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace locmail::host {
namespace {

// One line of the listing, queued or held.
struct Row {
    mq::ListedEntry entry;
    std::string state;  // "waiting", "deferred" or "held"
    std::string reason; // why it is held
};

Row QueuedRow(mq::ListedEntry entry)
{
    std::string state = entry.deferrals.empty() ? "waiting" : "deferred";
    return {std::move(entry), state, ""};
}

Row HeldRow(const mq::HeldEntry& held)
{
    mq::ListedEntry entry;
    entry.id = held.id;
    entry.arrived = held.envelope.arrived;
    entry.size = held.envelope.messageSize;
    if (!held.envelope.senders.empty())
        entry.sender = held.envelope.senders.front().address;
    for (const auto& rcpt : held.envelope.recipients)
        entry.recipients.push_back({rcpt.address, rcpt.channel});
    return {std::move(entry), "held", held.reason};
}

std::string Recipients(const mq::ListedEntry& entry)
{
    std::string out;
    for (const auto& rcpt : entry.recipients) {
        if (!out.empty())
            out += ", ";
        out += rcpt.address + " (" + rcpt.channel + ")";
    }
    return out;
}

std::string Channels(const mq::ListedEntry& entry)
{
    std::string out;
    for (const auto& channel : entry.channels)
        out += (out.empty() ? "" : ",") + channel;
    return out.empty() ? "-" : out;
}

// A span of seconds in its largest whole unit: "45s", "3m", "2h", "4d".
std::string Span(long long seconds)
{
    if (seconds < 0)
        seconds = 0;
    if (seconds < 60)
        return std::to_string(seconds) + "s";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + "m";
    if (seconds < 86400)
        return std::to_string(seconds / 3600) + "h";
    return std::to_string(seconds / 86400) + "d";
}

std::string Deferral(const mq::ListedDeferral& deferral, std::time_t now)
{
    std::string out = "deferred on " + deferral.channel + ": " + std::to_string(deferral.attempts) +
                      (deferral.attempts == 1 ? " attempt" : " attempts") + ", next " +
                      (deferral.nextAttempt > now
                           ? "in " + Span(deferral.nextAttempt - now) + " (" + LocalTime(deferral.nextAttempt) + ")"
                           : std::string("now"));
    std::string waiting;
    for (const auto& address : deferral.waiting)
        waiting += (waiting.empty() ? "" : ", ") + address;
    return out + "; waiting: " + (waiting.empty() ? "-" : waiting);
}

void PrintRow(const Row& row, std::time_t now)
{
    const auto& entry = row.entry;
    // Addresses come from mail: printed with controls, bidi overrides and stray bytes escaped.
    std::string sender = entry.sender.empty() ? "<>" : PrintableText(entry.sender);
    std::printf("%08X %-19s %5s %9llu %-8s %-12s %-28s %s\n", entry.id, LocalTime(entry.arrived).c_str(),
                Span(now - entry.arrived).c_str(), static_cast<unsigned long long>(entry.size), row.state.c_str(),
                Channels(entry).c_str(), sender.c_str(), PrintableText(Recipients(entry)).c_str());
    for (const auto& deferral : entry.deferrals)
        std::printf("         %s\n", PrintableText(Deferral(deferral, now)).c_str());
    if (!row.reason.empty())
        std::printf("         held: %s\n", PrintableText(row.reason).c_str());
}

void PrintTable(const std::vector<Row>& rows, const std::vector<std::string>& notes, std::time_t now)
{
    std::printf("%-8s %-19s %5s %9s %-8s %-12s %-28s %s\n", "ID", "ARRIVED", "AGE", "SIZE", "STATE", "CHANNELS",
                "SENDER", "RECIPIENTS");
    std::size_t held = 0;
    for (const auto& row : rows) {
        if (row.state == "held" && held++ == 0)
            std::printf("\nheld (`locmail queue release ID` puts one back):\n");
        PrintRow(row, now);
    }
    for (const auto& note : notes)
        std::printf("note: %s\n", PrintableText(note).c_str());
    std::printf("%zu message(s)", rows.size() - held);
    if (held != 0)
        std::printf(", %zu held", held);
    std::printf("\n");
}

std::string RowJson(const Row& row, std::time_t now)
{
    const auto& entry = row.entry;
    std::vector<std::string> recipients, deferrals;
    for (const auto& rcpt : entry.recipients)
        recipients.push_back(JsonObject().Text("address", rcpt.address).Text("channel", rcpt.channel).Done());
    for (const auto& d : entry.deferrals)
        deferrals.push_back(JsonObject()
                                .Text("channel", d.channel)
                                .Number("attempts", d.attempts)
                                .Number("nextattempt", d.nextAttempt)
                                .Json("waiting", JsonTexts(d.waiting))
                                .Done());
    JsonObject object;
    object.Text("id", mq::EntryName(entry.id))
        .Number("arrived", entry.arrived)
        .Number("age", now - entry.arrived)
        .Number("size", static_cast<std::int64_t>(entry.size))
        .Text("state", row.state)
        .Text("sender", entry.sender)
        .Json("recipients", JsonArray(recipients))
        .Json("channels", JsonTexts(entry.channels))
        .Json("deferrals", JsonArray(deferrals));
    if (row.state == "held")
        object.Text("reason", row.reason);
    return object.Done();
}

} // namespace

int RunQueueList(bool json)
{
    Settings settings;
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    mq::QueueListing listing = mq::ListEntries(settings.queueDir);
    if (!listing.readable) {
        Complain("cannot read the queue in " + settings.queueDir + ": " + listing.fault);
        return EX_UNAVAILABLE;
    }
    mq::HeldListing held = mq::ListHeld(mq::QueuePaths(settings.queueDir));
    std::vector<Row> rows;
    for (auto& entry : listing.entries)
        rows.push_back(QueuedRow(std::move(entry)));
    for (const auto& entry : held.entries)
        rows.push_back(HeldRow(entry));
    listing.notes.insert(listing.notes.end(), held.notes.begin(), held.notes.end());
    const std::time_t now = std::time(nullptr);
    if (!json) {
        PrintTable(rows, listing.notes, now);
        return EX_OK;
    }
    std::vector<std::string> items;
    for (const auto& row : rows)
        items.push_back(RowJson(row, now));
    PrintJsonArray(items);
    for (const auto& note : listing.notes)
        Complain(PrintableText(note));
    return EX_OK;
}

} // namespace locmail::host
