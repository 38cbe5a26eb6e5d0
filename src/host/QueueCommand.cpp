// locmail queue ls: the queued messages with their age, senders, recipients and
// channels, and for deferred ones the attempts, the next attempt and who waits;
// then the held messages with the reason. locmail queue release ID: puts a held
// message back for delivery.
#include "host/Commands.h"
#include "host/InstallationOwner.h"
#include "host/Settings.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/QueueListing.h"
#include "suite/platform/Printable.h"

#include <sysexits.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>

namespace locmail::host {
namespace {

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
                      (deferral.nextAttempt > now ? "in " + Span(deferral.nextAttempt - now) : std::string("now"));
    std::string waiting;
    for (const auto& address : deferral.waiting)
        waiting += (waiting.empty() ? "" : ", ") + address;
    return out + "; waiting: " + (waiting.empty() ? "-" : waiting);
}

void ListHeld(const std::string& queueDir, std::time_t now)
{
    mq::HeldListing held = mq::ListHeld(mq::QueuePaths(queueDir));
    if (held.entries.empty() && held.notes.empty())
        return;
    std::printf("\nheld (`locmail queue release ID` puts one back):\n");
    for (const auto& entry : held.entries) {
        const auto& envelope = entry.envelope;
        std::string sender = envelope.senders.empty() || envelope.senders.front().address.empty()
                                 ? "<>"
                                 : envelope.senders.front().address;
        std::string recipients;
        for (const auto& rcpt : envelope.recipients)
            recipients += (recipients.empty() ? "" : ", ") + rcpt.address;
        std::printf("%08X %5s %9llu  %-12s %-28s %s\n", entry.id, Span(now - envelope.arrived).c_str(),
                    static_cast<unsigned long long>(envelope.messageSize), "held", sender.c_str(),
                    recipients.c_str());
        std::printf("         held: %s\n", entry.reason.c_str());
    }
    for (const auto& note : held.notes)
        std::printf("note: %s\n", note.c_str());
    std::printf("%zu held message(s)\n", held.entries.size());
}

} // namespace

int RunQueueList()
{
    Settings settings;
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    mq::QueueListing listing = mq::ListEntries(settings.queueDir);
    if (!listing.readable) {
        Complain("cannot read the queue in " + settings.queueDir + ": " + listing.fault);
        return EX_UNAVAILABLE;
    }
    const std::time_t now = std::time(nullptr);
    std::printf("%-8s %5s %9s  %-12s %-28s %s\n", "ID", "AGE", "SIZE", "CHANNELS", "SENDER", "RECIPIENTS");
    for (const auto& entry : listing.entries) {
        // Addresses come from mail: printed with controls, bidi overrides and stray bytes escaped.
        std::string sender = entry.sender.empty() ? "<>" : PrintableText(entry.sender);
        std::printf("%08X %5s %9llu  %-12s %-28s %s\n", entry.id, Span(now - entry.arrived).c_str(),
                    static_cast<unsigned long long>(entry.size), Channels(entry).c_str(), sender.c_str(),
                    PrintableText(Recipients(entry)).c_str());
        for (const auto& deferral : entry.deferrals)
            std::printf("         %s\n", PrintableText(Deferral(deferral, now)).c_str());
    }
    for (const auto& note : listing.notes)
        std::printf("note: %s\n", PrintableText(note).c_str());
    std::printf("%zu message(s)\n", listing.entries.size());
    ListHeld(settings.queueDir, now);
    return EX_OK;
}

int RunQueueRelease(const std::string& idText)
{
    std::string name = idText;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto id = mq::ParseEntryName(name);
    if (!id || !mq::IsValidEntryId(*id)) {
        Complain("'" + idText + "' is not a queue id (eight hex digits, as `locmail queue ls` shows them)");
        return EX_USAGE;
    }
    Settings settings;
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    if (int status = ActAsInstallationOwner(settings); status != EX_OK)
        return status;
    OpenLog(settings);
    mq::ReleaseResult result = mq::ReleaseHeldEntry(mq::QueuePaths(settings.queueDir), "Queue", *id);
    if (!result.ok) {
        Complain("cannot release " + idText + ": " + result.fault);
        return EX_UNAVAILABLE;
    }
    std::printf("%08X released; the next delivery run takes it\n", *id);
    return EX_OK;
}

} // namespace locmail::host
