// What the host's "queue ls" shows: every committed entry with its arrival,
// size, sender, recipients, the channels it is on and its deferrals (with the
// recipients that wait), read without claiming, changing or repairing anything.
//
// Contract: entries come in id order. An entry that does not check out
// (EntryCheck.h) is left out and described in notes ("entry 0000002A skipped:
// message text is missing"); entries being built (tmp/) are not listed.
// channels are the channels that hold a marker for the entry now, sorted;
// deferrals those of the envelope for these channels.
// Failure modes: readable is false, with fault, when the queue directory or
// its entries folder cannot be read; nothing throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mq {

struct ListedRecipient {
    std::string address;
    std::string channel;
    bool operator==(const ListedRecipient&) const = default;
};

// A channel that put some recipients off: they wait until nextAttempt.
struct ListedDeferral {
    std::string channel;
    uint32_t attempts = 0;
    int64_t nextAttempt = 0;   // unix seconds
    std::vector<std::string> waiting;
    bool operator==(const ListedDeferral&) const = default;
};

struct ListedEntry {
    uint32_t id = 0;
    int64_t arrived = 0;   // unix seconds
    uint64_t size = 0;
    std::string sender;   // the first sender record's address ("" when none)
    std::vector<ListedRecipient> recipients;
    std::vector<std::string> channels;
    std::vector<ListedDeferral> deferrals;
};

struct QueueListing {
    bool readable = false;
    std::string fault;
    std::vector<ListedEntry> entries;
    std::vector<std::string> notes;
};

QueueListing ListEntries(const std::string& queueDir);

} // namespace locmail::mq
