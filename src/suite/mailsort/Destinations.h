// Destinations: a run's Outcome as the entries the agent executes (msgdest).
//
// Contract, given how the agent runs each entry (a move files into its folder
// and makes it the current folder; a copy files into the current folder, then
// into its own; a vacation files into the current folder; reject files nothing;
// every filing of one delivery into one folder happens once):
//  - keep and nothing else: no entry at all, the agent's default delivery;
//  - keep with folders: the first folder as a copy (inbox and that folder), the
//    rest as moves; a vacation comes first instead, filing into the inbox;
//  - keep with only forwards: a move into "inbox" beside them;
//  - no keep: moves, then the vacation (into the last folder);
//  - shared folders (0x40) after the own ones; forwards last;
//  - nothing filed or sent: one reject entry (for discard marked 0x80), so the
//    agent files nothing; its argument is the reject reason.
// A vacation's argument is its reason, cut to fit; the agent does not read it.
// Failure modes: BuildList throws std::bad_alloc and then has released what it
// built.
#pragma once

#include "suite/mailsort/Outcome.h"
#include "suite/mailsort/msgdest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mailsort {

struct Destination {
    int32_t action = 0;
    std::string argument;
    bool operator==(const Destination&) const = default;
};

std::vector<Destination> PlanDestinations(const Outcome& outcome);

// The entries as the linked list the agent reads, each naming USER.
msgdest* BuildList(const std::vector<Destination>& plan, const std::string& user);
void FreeList(msgdest* list) noexcept;

} // namespace locmail::mailsort
