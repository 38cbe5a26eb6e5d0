// Which entry a walker is working on, kept where a process that dies leaves it:
// the way the queue counts the tries of an entry that killed or hung its agent.
//
// Contract: an InFlightRecord belongs to one walk. Mark(id) writes the id into
// the walk's own file QUEUE/inflight/CHANNEL.XXXXXX (created and locked with
// flock at the first Mark, created with inflight/ when missing); Clear() writes
// a blank id over it. One pwrite each, never synced: the count survives the
// process being killed, not a power cut. Destruction removes the file.
// SweepInFlight (from the recovery sweep) takes every such file that no live
// process holds: the entry named in it was in hand when its process died, so
// its envelope's crash count goes up by one (rewritten under the envelope's
// lock through tmp/ID.new, fsynced, as a deferral is), with one level-2 line;
// then the file is removed.
// Failure modes: a record that cannot be made or written costs only the count
// (one level-2 line the first time); nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <string>

namespace locmail::mq {

class InFlightRecord {
public:
    InFlightRecord(QueuePaths paths, std::string channel, std::string module);
    ~InFlightRecord();
    InFlightRecord(const InFlightRecord&) = delete;
    InFlightRecord& operator=(const InFlightRecord&) = delete;

    void Mark(uint32_t id);
    void Clear();

private:
    bool Open();
    void Write(const char* text);

    QueuePaths paths_;
    std::string channel_;
    std::string module_;
    std::string path_;
    UniqueFd fd_;
    bool failed_ = false;
    bool marked_ = false;
};

void SweepInFlight(const QueuePaths& paths, const std::string& module);

} // namespace locmail::mq
