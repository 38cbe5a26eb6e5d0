#include "host/LmtpDelivery.h"

#include "host/IdleWait.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/ArrivalWatch.h"
#include "suite/mq/MQapi.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <optional>
#include <system_error>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Lmtp";
constexpr const char* kChannel = "local";
constexpr mq::BatchLimits kBatch{256, 100};

} // namespace

LmtpDelivery::LmtpDelivery(std::string queueDir, OutcomeBoard& board)
    : board_(board), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), restart_(::eventfd(0, EFD_CLOEXEC)),
      walk_(std::move(queueDir), [this] { return stopping_.load(); })
{
    if (!wake_ || !restart_)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    mq::SetWalkControl(this, kBatch);
    thread_ = std::thread([this] { Loop(); });
}

LmtpDelivery::~LmtpDelivery() { Stop(); }

void LmtpDelivery::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

void LmtpDelivery::Stop()
{
    if (!thread_.joinable())
        return;
    stopping_ = true;
    Wake();
    thread_.join();
    mq::SetWalkControl(nullptr);
}

int LmtpDelivery::MakeDurable()
{
    const int error = walk_.MakeDurable();
    board_.MadeDurable(error == 0);
    return error;
}

void LmtpDelivery::WaitMs(int milliseconds)
{
    pollfd wake{wake_.get(), POLLIN, 0};
    ::poll(&wake, 1, milliseconds);
}

void LmtpDelivery::Loop()
{
    std::optional<mq::ArrivalWatch> watch;
    while (!stopping_) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(wake_.get(), &count, sizeof count);
        if (watch)
            watch->Drain();
        const WalkEnd end = walk_.Walk();
        if (!watch && walk_.Connected()) {
            watch.emplace(kChannel); // after the agent, whose channel opening makes the folder
            if (!watch->Ok())
                LogMessage(2, kModule, "Cannot watch the queue channel %s; looking for new messages every second",
                           kChannel);
        }
        const int waitMs = AfterWalk(end);
        if (stopping_)
            break;
        if (watch && end == WalkEnd::Drained)
            watch->Wait(watch->Ok() ? waitMs : 1000, wake_.get());
        else
            WaitMs(waitMs);
    }
    walk_.Disconnect(); // lets the last batch go, after the store's sync
}

// How long to wait before the next walk.
int LmtpDelivery::AfterWalk(WalkEnd end)
{
    switch (end) {
    case WalkEnd::Drained: delay_.Reset(); return IdleWaitMs();
    case WalkEnd::StopRequested: return 0;
    case WalkEnd::MessageCount:
        if (!restartDue_.exchange(true)) {
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(restart_.get(), &one, sizeof one);
        }
        walk_.Disconnect();
        return 0;
    case WalkEnd::StoreUnavailable:
    case WalkEnd::QueueUnusable:
    case WalkEnd::Failed: break;
    }
    if (end == WalkEnd::StoreUnavailable && walk_.HeldEntry() != 0)
        board_.GiveUp(walk_.HeldEntry(), "451 4.3.0 The message store cannot take mail now; try again later");
    walk_.Disconnect(); // releases the message the agent kept
    const int seconds = delay_.NextSeconds();
    LogMessage(2, kModule, "Delivery cannot go on now; trying again in %d s", seconds);
    return seconds * 1000;
}

} // namespace locmail::host
