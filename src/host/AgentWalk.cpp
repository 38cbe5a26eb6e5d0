#include "host/AgentWalk.h"

#include "delivery/CLocalMail.h"
#include "delivery/CLocalMailException.h"
#include "suite/log/LogMessage.h"
#include "suite/msgstore/CMsgStore.h"

#include <cerrno>
#include <cstring>
#include <exception>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Run";
constexpr const char* kAgentModule = "LocalMail";

} // namespace

AgentWalk::AgentWalk(std::string queueDir, std::function<bool()> stopRequested)
    : queueDir_(std::move(queueDir)), stopRequested_(std::move(stopRequested))
{
}

AgentWalk::~AgentWalk() { Disconnect(); }

bool AgentWalk::Connect(WalkEnd& failure)
{
    try {
        store_ = std::make_unique<CMsgStore>();
    }
    catch (const CMsgStoreException& e) {
        LogMessage(1, kModule, "Cannot open the message store: %s", e.GetMessage());
        failure = WalkEnd::StoreUnavailable;
        return false;
    }
    try {
        agent_ = std::make_unique<CLocalMail>(*store_, queueDir_.c_str(), kAgentModule);
    }
    catch (const CLocalMailException& e) {
        store_.reset();
        LogMessage(1, kModule, "Cannot start the delivery agent: %s", e.GetLastErrorMsg());
        failure = WalkEnd::QueueUnusable;
        return false;
    }
    return true;
}

void AgentWalk::Disconnect()
{
    agent_.reset();
    store_.reset();
}

void AgentWalk::BetweenMessages()
{
    watchdog_.Arm();
    if (agentStop_ != nullptr && stopRequested_())
        *agentStop_ = true;
}

int AgentWalk::MakeDurable()
{
    const int error = store_ ? store_->MakeDurable() : EIO;
    if (error != 0)
        LogMessage(1, kModule, "Cannot make the message store durable: %s", std::strerror(error));
    return error;
}

uint32_t AgentWalk::HeldEntry() const { return agent_ ? static_cast<uint32_t>(agent_->GetMQId()) : 0; }

WalkEnd AgentWalk::Walk()
{
    WalkEnd failure{};
    if (!agent_ && !Connect(failure))
        return failure;
    bool agentStop = false;
    agentStop_ = &agentStop;
    struct Unwatch {
        bool*& flag;
        MessageWatchdog& watchdog;
        ~Unwatch()
        {
            flag = nullptr;
            watchdog.Disarm();
        }
    } unwatch{agentStop_, watchdog_};
    try {
        agent_->DeliverMessage(agentStop);
    }
    catch (const CLocalMailException& e) {
        LogMessage(1, kModule, "Delivery stopped: %s", e.GetLastErrorMsg());
        return WalkEnd::QueueUnusable;
    }
    catch (const CLogging& e) {
        LogMessage(1, kModule, "Delivery stopped by an unexpected error: %s", e.GetLastErrorMsg());
        return WalkEnd::Failed;
    }
    catch (const std::exception& e) {
        LogMessage(1, kModule, "Delivery stopped by an unexpected error: %s", e.what());
        return WalkEnd::Failed;
    }
    return Classify(agentStop);
}

WalkEnd AgentWalk::Classify(bool agentStop) const
{
    if (!agentStop)
        return WalkEnd::Drained;
    if (stopRequested_())
        return WalkEnd::StopRequested;
    if (agent_->GetMsgBuffer() != nullptr)
        return WalkEnd::StoreUnavailable;
    return WalkEnd::MessageCount;
}

} // namespace locmail::host
