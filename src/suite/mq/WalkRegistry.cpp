#include "suite/mq/WalkRegistry.h"

#include "suite/mq/ChannelWalk.h"
#include "suite/mq/EnvelopeConvert.h"
#include "suite/mq/WalkControl.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

namespace locmail::mq {
namespace {

// Recursive, so that a MakeDurable that calls back into the queue cannot deadlock it.
std::recursive_mutex g_mutex;
std::vector<ChannelWalk*> g_walks;

} // namespace

void RegisterWalk(ChannelWalk* walk)
{
    std::lock_guard lock(g_mutex);
    g_walks.push_back(walk);
}

void UnregisterWalk(ChannelWalk* walk)
{
    std::lock_guard lock(g_mutex);
    g_walks.erase(std::remove(g_walks.begin(), g_walks.end(), walk), g_walks.end());
}

stEnvelope* ClaimedEnvelopeCopy(const std::string& queueDir, uint32_t id)
{
    std::lock_guard lock(g_mutex);
    for (const ChannelWalk* walk : g_walks) {
        if (walk->Paths().Dir() != queueDir)
            continue;
        if (const EnvelopeData* data = walk->ClaimedEnvelope(id))
            return NewOwnedEnvelope(*data);
    }
    return nullptr;
}

std::time_t EarliestDeferredOfWalks()
{
    std::lock_guard lock(g_mutex);
    std::time_t earliest = 0;
    for (const ChannelWalk* walk : g_walks) {
        std::time_t next = walk->EarliestDeferred();
        if (next != 0 && (earliest == 0 || next < earliest))
            earliest = next;
    }
    return earliest;
}

bool FinishEveryPendingBatch()
{
    std::lock_guard lock(g_mutex);
    std::vector<ChannelWalk*> pending;
    std::copy_if(g_walks.begin(), g_walks.end(), std::back_inserter(pending),
                 [](const ChannelWalk* walk) { return walk->HasPending(); });
    if (pending.empty())
        return true;
    WalkControl* control = CurrentWalkControl().control;
    int error = control ? control->MakeDurable() : ECANCELED;
    bool ok = true;
    for (ChannelWalk* walk : pending)
        ok = walk->ConcludeBatch(error) && ok;
    return ok;
}

} // namespace locmail::mq
