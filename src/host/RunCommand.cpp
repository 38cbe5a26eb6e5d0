// locmail run [--once]: the host loop. Builds the message store and the agent,
// then has the agent walk the channel "local" until it is empty (--once) or for
// ever, sleeping on inotify between walks.
//
// How a walk ends, and what the run does then:
//  - the walk reached the end of the channel: --once looks at the channel and
//    walks again only when entries arrived during the walk (an entry that stays
//    queued cannot make it spin); otherwise the run waits for new entries;
//  - SIGTERM or SIGINT: the request is copied into the agent's stop flag only
//    between two messages (the queue's WalkControl::BetweenMessages), so the
//    message being delivered finishes and is taken off the queue; the run ends
//    with 0;
//  - the agent set its stop flag and still holds a message: the store failed
//    with code 4 or 10 and that message stays queued (the agent keeps it loaded
//    exactly then; after a stop for its message count it has released it). The
//    agent and the store are dropped; --once ends with EX_TEMPFAIL, otherwise
//    the run tries again after 1 s, doubling up to 60 s;
//  - the agent set its stop flag and holds nothing: it has handled its share of
//    messages for one process, and the run restarts itself (Restart.h).
// SIGHUP opens the log file again (LogReopen.h), between messages too.
// A message that takes longer than [Queue] MessageTimeoutSeconds ends the
// process (MessageWatchdog.h): armed again before every message, off while idle.
// Durable before forgotten: the queue lets the entries a walk finished go in
// batches, and only after this run made the store's writes for them durable
// (WalkControl::MakeDurable, one sync for the whole batch). A batch closes on
// its size, after a short delay, at the end of every walk and when the agent
// closes its channel (before every exit and restart).
#include "host/AgentWalk.h"
#include "host/Commands.h"
#include "host/IdleWait.h"
#include "host/LogReopen.h"
#include "host/Restart.h"
#include "host/RetryDelay.h"
#include "host/RunSummary.h"
#include "host/ServiceStart.h"
#include "host/Settings.h"
#include "host/StopRequest.h"
#include "suite/db/CountingVfs.h"
#include "suite/db/SyncPoint.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/ArrivalWatch.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/WalkControl.h"
#include "suite/platform/Files.h"

#include <sysexits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Run";
constexpr const char* kChannel = "local";
constexpr int kNoWatchWakeMs = 1'000;  // without inotify, walk every second
// Finished entries are let go in batches of this many, or after this delay:
// one sync for the batch, and no message waits long for it.
constexpr mq::BatchLimits kBatch{256, 100};

class DeliveryRun final : public mq::WalkControl {
public:
    DeliveryRun(bool once, Settings settings)
        : once_(once), settings_(std::move(settings)), walk_(settings_.queueDir, [this] { return stop_.Requested(); })
    {
        if (once_)
            summary_.emplace(::isatty(STDOUT_FILENO) == 1);
        mq::SetWalkControl(this, kBatch);
    }
    ~DeliveryRun() override
    {
        walk_.Disconnect();
        mq::SetWalkControl(nullptr);
    }
    DeliveryRun(const DeliveryRun&) = delete;
    DeliveryRun& operator=(const DeliveryRun&) = delete;

    int Run();

    void BetweenMessages() override;
    int MakeDurable() override { return walk_.MakeDurable(); }

private:
    WalkEnd Walk();
    std::vector<uint32_t> Queued() const;
    int AfterStoreFailure();
    int Restart();
    int Finish(int status, const char* why);
    int IdleWaitMs() const;

    const bool once_;
    const Settings settings_;
    StopRequest stop_;
    LogReopenRequest logReopen_;
    std::optional<RunSummary> summary_; // --once only
    RetryDelay delay_;
    std::optional<mq::ArrivalWatch> watch_;
    AgentWalk walk_;
};

void DeliveryRun::BetweenMessages()
{
    walk_.BetweenMessages();
    logReopen_.ReopenIfRequested();
    if (summary_)
        summary_->Tick();
}

WalkEnd DeliveryRun::Walk()
{
    WalkEnd failure{};
    if (!walk_.Connected() && !walk_.Connect(failure))
        return failure;
    // After the agent, whose channel opening makes the folder; before its first walk.
    if (!once_ && !watch_) {
        watch_.emplace(kChannel);
        if (!watch_->Ok())
            LogMessage(2, kModule, "Cannot watch the queue channel %s (%s); looking for new messages every second",
                       kChannel, std::strerror(errno));
    }
    return walk_.Walk();
}

std::vector<uint32_t> DeliveryRun::Queued() const { return mq::QueuedEntryIds(kChannel); }

// Until new entries arrive, or the first deferred entry is due; every second without inotify.
int DeliveryRun::IdleWaitMs() const { return watch_->Ok() ? host::IdleWaitMs() : kNoWatchWakeMs; }

int DeliveryRun::AfterStoreFailure()
{
    uint32_t id = walk_.HeldEntry();
    walk_.Disconnect(); // releases the message the agent kept
    char what[96] = "The message store cannot take messages now";
    if (id != 0)
        std::snprintf(what, sizeof what, "Message queue <%08X> stays queued: the message store cannot take it now", id);
    if (once_) {
        LogMessage(2, kModule, "%s", what);
        return Finish(EX_TEMPFAIL, "the message store is unavailable");
    }
    int seconds = delay_.NextSeconds();
    LogMessage(2, kModule, "%s; trying again in %d s", what, seconds);
    stop_.SleepFor(seconds * 1000);
    return -1;
}

int DeliveryRun::Restart()
{
    walk_.Disconnect(); // closing the channel lets its last batch go, after the store's sync
    LogMessage(5, kModule, "Restarting after the agent's share of messages; %llu fsync, %llu SQLite sync, %llu syncfs",
               FsyncCount(), db::SqliteSyncCount(), db::SyncfsCount());
    if (summary_)
        summary_->PassOn();
    int error = RestartSelf(stop_);
    if (error == ECANCELED)
        return Finish(EX_OK, "stop requested");
    LogMessage(1, kModule, "Cannot restart the delivery process: %s", std::strerror(error));
    return Finish(EX_OSERR, "no restart");
}

int DeliveryRun::Finish(int status, const char* why)
{
    walk_.Disconnect();
    LogMessage(5, kModule, "Delivery run ends (%s), status %d; %llu fsync, %llu SQLite sync, %llu syncfs", why,
               status, FsyncCount(), db::SqliteSyncCount(), db::SyncfsCount());
    if (status != EX_OK)
        Complain(std::string("delivery ended: ") + why + "; see the log in " + settings_.logDir);
    if (summary_)
        summary_->Print();
    return status;
}

int DeliveryRun::Run()
{
    LogMessage(5, kModule, "Delivery run starts%s", once_ ? " (once)" : "");
    for (;;) {
        if (stop_.Requested())
            return Finish(EX_OK, "stop requested");
        logReopen_.ReopenIfRequested();
        if (watch_)
            watch_->Drain(); // what arrived so far, the coming walk sees
        std::vector<uint32_t> before = once_ ? Queued() : std::vector<uint32_t>{};
        switch (Walk()) {
        case WalkEnd::Drained:
            delay_.Reset();
            if (once_) {
                std::vector<uint32_t> after = Queued();
                if (std::includes(before.begin(), before.end(), after.begin(), after.end()))
                    return Finish(EX_OK, "queue done");
            } else {
                watch_->Wait(IdleWaitMs(), stop_.WakeFd());
            }
            break;
        case WalkEnd::StopRequested:
            return Finish(EX_OK, "stop requested");
        case WalkEnd::MessageCount:
            return Restart();
        case WalkEnd::StoreUnavailable:
            if (int status = AfterStoreFailure(); status >= 0)
                return status;
            break;
        case WalkEnd::QueueUnusable:
            return Finish(EX_UNAVAILABLE, "the queue cannot be used");
        case WalkEnd::Failed:
            return Finish(EX_SOFTWARE, "unexpected error");
        }
    }
}

} // namespace

int RunDelivery(bool once)
{
    Settings settings;
    if (int status = StartService(settings); status != EX_OK)
        return status;
    try {
        DeliveryRun run(once, std::move(settings));
        return run.Run();
    } catch (const std::exception& e) {
        Complain(std::string("cannot run: ") + e.what());
        return EX_OSERR;
    }
}

} // namespace locmail::host
