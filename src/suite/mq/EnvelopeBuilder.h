// An envelope for PutMQEnvelope that owns its records and texts, so that the
// host's inject and the agent's forward can build one without hand-freeing.
//
// Contract: Envelope() points into the builder, so it is valid while the
// builder lives and is not moved (the builder is neither copyable nor
// movable). Records keep the order in which they were added. Texts are
// copied; null is not accepted (use ""). PutMQEnvelope only reads the result.
// Failure modes: allocation failures throw std::bad_alloc; nothing else throws.
#pragma once

#include "suite/mq/Envelope.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace locmail::mq {

class EnvelopeBuilder {
public:
    EnvelopeBuilder();
    ~EnvelopeBuilder();
    EnvelopeBuilder(const EnvelopeBuilder&) = delete;
    EnvelopeBuilder& operator=(const EnvelopeBuilder&) = delete;

    // A sender record: address, empty info, FLAGS, 0, empty extra, CHANNEL.
    EnvelopeBuilder& AddSender(std::string_view address, std::string_view channel, uint32_t flags = 0);
    // A recipient record: address, empty info, 0, empty extra, CHANNEL.
    EnvelopeBuilder& AddRecipient(std::string_view address, std::string_view channel);

    stEnvelope* Envelope() { return &envelope_; }
    const stEnvelope* Envelope() const { return &envelope_; }

private:
    char* Keep(std::string_view text);
    void Append(stEnvList& list, void* item);

    std::deque<std::string> texts_;
    std::deque<_envFrom> senders_;
    std::deque<_envRcpt> recipients_;
    stEnvelope envelope_{};
};

} // namespace locmail::mq
