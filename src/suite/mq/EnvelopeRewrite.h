// Replacing an envelope whole: the new text goes to tmp/ID.new, is fsynced and
// renamed over TARGET (entries/ID.env, or hold/ID.env), so a crash leaves the
// old file or the new one. The caller holds the envelope's lock; a tmp/ID.new
// left behind is removed by the recovery sweep.
// Failure modes: false with FAULT naming the file and the system's reason;
// the stray tmp/ID.new is removed. Nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"

#include <cstdint>
#include <string>

namespace locmail::mq {

bool ReplaceEnvelope(const QueuePaths& paths, uint32_t id, const EnvelopeData& envelope, const std::string& target,
                     std::string& fault);

} // namespace locmail::mq
