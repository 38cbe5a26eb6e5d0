// The process-wide queue settings that MQInit records: the queue directory
// and the logging module name. The operations whose signatures carry no
// context (GetMQPathName with an id, GetMQEnvelope, CreateMQEntry) use them.
//
// Contract: SetQueueSettings replaces both at once; readers get a copy, so a
// later MQInit never changes a context already made. Thread-safe.
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
QueueSettings CurrentQueue();

// The directory MQInit settled on; empty before a successful MQInit.
std::string QueueDirectory();

void QueueLog(const std::string& module, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

} // namespace locmail::mq
