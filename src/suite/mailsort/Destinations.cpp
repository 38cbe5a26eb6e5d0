#include "suite/mailsort/Destinations.h"

#include "suite/mailsort/SieveLimits.h"

#include <cstring>
#include <memory>

namespace locmail::mailsort {

namespace {

void Add(std::vector<Destination>& plan, int32_t action, const std::string& argument)
{
    plan.push_back({action, argument.substr(0, kMaxArgumentLength)});
}

void AddMoves(std::vector<Destination>& plan, const std::vector<std::string>& folders, std::size_t from,
              int32_t flags)
{
    for (std::size_t i = from; i < folders.size(); ++i)
        Add(plan, kActionMove | flags, folders[i]);
}

void PlanKept(std::vector<Destination>& plan, const Outcome& outcome)
{
    const auto& own = outcome.folders;
    const auto& shared = outcome.sharedFolders;
    if (outcome.vacation) {
        Add(plan, kActionVacation, outcome.vacation->reason);
        AddMoves(plan, own, 0, 0);
        AddMoves(plan, shared, 0, kActionShared);
    } else if (!own.empty()) {
        Add(plan, kActionCopy, own.front());
        AddMoves(plan, own, 1, 0);
        AddMoves(plan, shared, 0, kActionShared);
    } else if (!shared.empty()) {
        Add(plan, kActionCopy | kActionShared, shared.front());
        AddMoves(plan, shared, 1, kActionShared);
    } else if (!outcome.redirects.empty()) {
        Add(plan, kActionMove, "inbox");
    }
}

void PlanNotKept(std::vector<Destination>& plan, const Outcome& outcome)
{
    AddMoves(plan, outcome.folders, 0, 0);
    if (outcome.vacation)
        Add(plan, kActionVacation, outcome.vacation->reason);
    AddMoves(plan, outcome.sharedFolders, 0, kActionShared);
}

} // namespace

std::vector<Destination> PlanDestinations(const Outcome& outcome)
{
    std::vector<Destination> plan;
    if (outcome.keep)
        PlanKept(plan, outcome);
    else
        PlanNotKept(plan, outcome);
    for (const std::string& address : outcome.redirects)
        Add(plan, kActionForward, address);
    if (!outcome.keep && plan.empty())
        Add(plan, outcome.reject ? kActionReject : kActionReject | kActionDiscardMark, outcome.reject.value_or(""));
    return plan;
}

msgdest* BuildList(const std::vector<Destination>& plan, const std::string& user)
{
    msgdest* head = nullptr;
    msgdest** tail = &head;
    try {
        for (const Destination& destination : plan) {
            auto* entry = new msgdest{};
            std::strncpy(entry->userName, user.c_str(), kMaxUserNameLength);
            entry->action = destination.action;
            std::strncpy(entry->argument, destination.argument.c_str(), kMaxArgumentLength);
            *tail = entry;
            tail = &entry->next;
        }
    } catch (...) {
        FreeList(head);
        throw;
    }
    return head;
}

void FreeList(msgdest* list) noexcept
{
    while (list) {
        msgdest* next = list->next;
        delete list;
        list = next;
    }
}

} // namespace locmail::mailsort
