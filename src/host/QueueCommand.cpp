// locmail queue ls: the queued messages with their age, senders, recipients and
// channels, and for deferred ones the attempts, the next attempt and who waits.
#include "host/Commands.h"
#include "host/Settings.h"
#include "suite/mq/QueueListing.h"
#include "suite/platform/Printable.h"

#include <CLI/CLI.hpp>

#include <sysexits.h>

#include <cstdio>
#include <ctime>
#include <iostream>

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

int RunList()
{
    Settings settings = ReadSettings();
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
    return EX_OK;
}

} // namespace

void AddQueueCommand(CLI::App& app, int& exitCode)
{
    auto* queue = app.add_subcommand("queue", "look at the message queue");
    queue->require_subcommand(1);
    auto* ls = queue->add_subcommand("ls", "list the queued messages");
    ls->callback([&exitCode] { exitCode = RunList(); });
}

} // namespace locmail::host
