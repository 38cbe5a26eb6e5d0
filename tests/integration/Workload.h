// A realistic queue for the crash tests, and a census of what the store holds
// afterwards, read from the store files themselves (docs/store-format.md)
// rather than through the code under test.
#pragma once

#include "integration/RunSupport.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct WorkMessage {
    std::string sender;
    std::vector<std::string> recipients; // as injected: local ones in varied case, unknown ones
    std::string text;                    // CRLF lines, carries "X-Work-Id: N"
};

struct Workload {
    std::vector<std::string> mailboxes;       // users, then the shared mailbox, as registered
    std::map<std::string, std::string> homes; // registered address -> home directory
    std::vector<WorkMessage> messages;        // index = X-Work-Id
    std::vector<std::string> unknown;         // every unknown recipient, each in one message only
};

// USERS users and one shared mailbox, and MESSAGES messages from a PRNG seeded
// with SEED: sizes from a few hundred bytes to 200 KiB, some multipart; most
// with one recipient, many with 2-5, a few with an unknown recipient.
Workload MakeWorkload(unsigned seed, int users, int messages);

// Registers the mailboxes (filling homes) and queues every message with
// `locmail inject`; fails the test on any error.
void Install(const Installation& inst, Workload& work);

// The inbox of every mailbox as its files and relations say.
struct InboxCensus {
    // (mailbox, X-Work-Id) -> copies filed, and copies whose text differs from the injected one.
    std::map<std::pair<std::string, long>, int> copies;
    long differing = 0;
    long foreign = 0;                // visible messages without a known X-Work-Id
    std::vector<std::string> faults; // counters, uidNext, records and files that disagree
};
InboxCensus TakeInboxCensus(const Workload& work);

// What the census says against the workload: each local recipient's copy once.
struct DeliveryTally {
    long expected = 0, delivered = 0, missing = 0, duplicates = 0;
};
DeliveryTally Tally(const Workload& work, const InboxCensus& census);

// For each unknown recipient, the returned mails on "localout" that name it.
std::map<std::string, int> ReturnedMailFor(const Installation& inst, const Workload& work);

} // namespace testsupport
