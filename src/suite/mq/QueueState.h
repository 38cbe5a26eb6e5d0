// The queue settings that the operations whose signatures carry no context
// (GetMQPathName with an id, GetMQEnvelope, CreateMQEntry, OpenMQChannel) use:
// the queue directory and the logging module name. Several agents may live in
// one process, each on its own queue, so the queue an operation means is the
// one its thread is working on, most specific first:
//  1. the queue of the walk that last handed this thread an entry (an agent
//     asks for that entry's files right after), until MQInit in this thread
//     or the walk closes;
//  2. the queue of this thread's last successful MQInit;
//  3. the queue of the process's last successful MQInit (threads that never
//     called it, such as a helper thread of the host).
//
// Contract: SetQueueSettings (MQInit) records 2 and 3 and forgets 1;
// EnterWalkQueue/LeaveWalkQueue set and clear 1 for WALK (an opaque key).
// Readers get a copy, so a later MQInit never changes a context already made.
// Thread-safe.
// QueueLog writes a log line under the current module name (kDefaultModule
// before MQInit). Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include <string>

namespace locmail::mq {

inline constexpr const char* kDefaultModule = "Queue";

struct QueueSettings {
    std::string dir;      // empty until MQInit succeeded
    std::string module;   // logging module name given to MQInit
};

void SetQueueSettings(QueueSettings settings);
void EnterWalkQueue(const void* walk, QueueSettings settings);
void LeaveWalkQueue(const void* walk);
QueueSettings CurrentQueue();

// CurrentQueue().dir; empty before a successful MQInit.
std::string QueueDirectory();

void QueueLog(const std::string& module, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

} // namespace locmail::mq
