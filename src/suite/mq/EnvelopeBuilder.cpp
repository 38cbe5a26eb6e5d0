#include "suite/mq/EnvelopeBuilder.h"

#include <new>

namespace locmail::mq {

EnvelopeBuilder::EnvelopeBuilder() = default;

EnvelopeBuilder::~EnvelopeBuilder()
{
    ReleaseEnvNodes(envelope_.from);
    ReleaseEnvNodes(envelope_.rcpt);
}

char* EnvelopeBuilder::Keep(std::string_view text)
{
    // A deque never moves its elements, so the pointer stays valid.
    return texts_.emplace_back(text).data();
}

void EnvelopeBuilder::Append(stEnvList& list, void* item)
{
    if (!AppendEnvItem(list, item))
        throw std::bad_alloc();
    list.cursor = list.head;
}

EnvelopeBuilder& EnvelopeBuilder::AddSender(std::string_view address, std::string_view channel, uint32_t flags)
{
    char* empty = Keep("");
    _envFrom& rec = senders_.emplace_back(_envFrom{Keep(address), empty, flags, 0, empty, Keep(channel)});
    Append(envelope_.from, &rec);
    return *this;
}

EnvelopeBuilder& EnvelopeBuilder::AddRecipient(std::string_view address, std::string_view channel)
{
    char* empty = Keep("");
    _envRcpt& rec = recipients_.emplace_back(_envRcpt{Keep(address), empty, 0, empty, Keep(channel)});
    Append(envelope_.rcpt, &rec);
    return *this;
}

} // namespace locmail::mq
