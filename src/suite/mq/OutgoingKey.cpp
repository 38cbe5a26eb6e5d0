#include "suite/mq/OutgoingKey.h"

#include "suite/mq/DeliveryKey.h"
#include "suite/mq/QueueState.h"

#include <limits>
#include <utility>

namespace locmail::mq {
namespace {

thread_local OutgoingKeyScope* t_scope = nullptr;

std::string KeyOf(const std::string& base, uint32_t n) { return base + "." + std::to_string(n); }

} // namespace

OutgoingKeyScope::OutgoingKeyScope(std::string base) : base_(std::move(base)), outer_(std::exchange(t_scope, this))
{
    // The longest key the scope could make must still be one.
    usable_ = IsDeliveryKey(KeyOf(base_, std::numeric_limits<uint32_t>::max()));
    if (!usable_)
        QueueLog(CurrentQueue().module, 1,
                 "\"%s\" cannot start outgoing mail keys; mail queued under it gets random keys", base_.c_str());
}

OutgoingKeyScope::~OutgoingKeyScope() { t_scope = outer_; }

std::optional<std::string> NextOutgoingKey()
{
    if (t_scope == nullptr || !t_scope->usable_)
        return std::nullopt;
    return KeyOf(t_scope->base_, ++t_scope->commits_);
}

std::optional<std::string> CurrentOutgoingBase()
{
    if (t_scope == nullptr || !t_scope->usable_)
        return std::nullopt;
    return t_scope->base_;
}

} // namespace locmail::mq
