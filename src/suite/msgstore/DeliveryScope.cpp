#include "suite/msgstore/DeliveryScope.h"

namespace locmail::msgstore {
namespace {

thread_local DeliveryScope* t_current = nullptr;

} // namespace

DeliveryScope::DeliveryScope(std::string key, std::string recipient)
    : key_(std::move(key)), recipient_(std::move(recipient)), outer_(t_current)
{
    t_current = this;
}

DeliveryScope::~DeliveryScope() { t_current = outer_; }

const DeliveryScope* DeliveryScope::Current()
{
    return t_current != nullptr && !t_current->key_.empty() ? t_current : nullptr;
}

void DeliveryScope::NoteFiled(const std::string& folder, std::uint32_t uid, bool replayed)
{
    if (t_current != nullptr)
        t_current->filed_.push_back(FiledCopy{folder, uid, replayed});
}

} // namespace locmail::msgstore
