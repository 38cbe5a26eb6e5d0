// locmail queue ls: the queued messages with their senders, recipients and channels.
#include "host/Commands.h"
#include "host/Settings.h"
#include "suite/mq/QueueListing.h"

#include <CLI/CLI.hpp>

#include <sysexits.h>

#include <cstdio>
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

int RunList()
{
    Settings settings = ReadSettings();
    mq::QueueListing listing = mq::ListEntries(settings.queueDir);
    if (!listing.readable) {
        Complain("cannot read the queue in " + settings.queueDir + ": " + listing.fault);
        return EX_UNAVAILABLE;
    }
    std::printf("%-8s %9s  %-12s %-28s %s\n", "ID", "SIZE", "CHANNELS", "SENDER", "RECIPIENTS");
    for (const auto& entry : listing.entries) {
        std::string sender = entry.sender.empty() ? "<>" : entry.sender;
        std::printf("%08X %9llu  %-12s %-28s %s\n", entry.id, static_cast<unsigned long long>(entry.size),
                    Channels(entry).c_str(), sender.c_str(), Recipients(entry).c_str());
    }
    for (const auto& note : listing.notes)
        std::printf("note: %s\n", note.c_str());
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
