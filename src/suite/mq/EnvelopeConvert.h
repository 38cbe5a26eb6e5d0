// Moving envelopes between the agent's linked records (stEnvelope) and the
// queue's own value form (EnvelopeData).
//
// Contract: ReadCallerEnvelope reads the lists from their heads (the cursors
// are left alone), copies every text, and refuses any text holding CR or LF,
// since each record becomes one line of the envelope file. Null texts and null
// items read as empty records. NewOwnedEnvelope builds an envelope that owns
// every node, record and text; only DeleteOwnedEnvelope (FreeMQEnvelope)
// releases it. Its cursors start on the heads.
// Failure modes: ReadCallerEnvelope returns false with a fault text;
// NewOwnedEnvelope returns null when memory runs out and throws nothing;
// ReadCallerEnvelope throws only std::bad_alloc.
#pragma once

#include "suite/mq/Envelope.h"
#include "suite/mq/EnvelopeFormat.h"

#include <string>

namespace locmail::mq {

[[nodiscard]] bool ReadCallerEnvelope(const stEnvelope& envelope, EnvelopeData& out, std::string& fault);

stEnvelope* NewOwnedEnvelope(const EnvelopeData& data);
void DeleteOwnedEnvelope(stEnvelope* envelope);

} // namespace locmail::mq
