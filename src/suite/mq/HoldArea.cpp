#include "suite/mq/HoldArea.h"

#include "suite/mq/DirectoryScan.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/EnvelopeRewrite.h"
#include "suite/mq/Quarantine.h"
#include "suite/mq/QueueFileLock.h"
#include "suite/mq/QueueState.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace locmail::mq {
namespace {

std::string SystemFault(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The reason stays on one line whatever the agent's text held.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text + "\n";
}

bool WriteReason(const QueuePaths& paths, uint32_t id, const std::string& reason)
{
    UniqueFd fd(::open(paths.HoldFile(id, ".why").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0640));
    return fd && WriteAll(fd.get(), OneLine(reason));
}

std::string ReadReason(const QueuePaths& paths, uint32_t id)
{
    std::string text;
    if (!ReadWholeFile(paths.HoldFile(id, ".why"), text) || text.empty())
        return "no reason recorded";
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

void MarkChannels(const QueuePaths& paths, uint32_t id, const EnvelopeData& envelope)
{
    for (const auto& route : envelope.channels) {
        auto name = NormaliseChannelName(route.name);
        if (!name)
            continue;
        (void)MakeDirectory(paths.Channel(*name), 0750);
        UniqueFd marker(::open(paths.Marker(*name, id).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0640));
    }
}

} // namespace

bool HoldEntry(const QueuePaths& paths, const std::string& module, uint32_t id, const std::string& reason)
{
    const unsigned shown = static_cast<unsigned>(id);
    if (!IsDirectory(paths.Hold()))
        (void)MakeDirectory(paths.Hold(), 0750);
    // Held so that the recovery sweep does not put the entry back on its channels half way.
    UniqueFd lock = LockLinkedFile(paths.EntryFile(id, ".env"));
    if (!lock || !WriteReason(paths, id, reason)) {
        std::string fault = SystemFault(lock ? "cannot write to " + paths.Hold() : std::string("cannot lock its envelope"));
        QueueLog(module, 1, "Queue entry %08X should be held (%s) but %s; it stays queued", shown, reason.c_str(),
                 fault.c_str());
        return false;
    }
    DropMarkers(paths, id);
    if (::rename(paths.EntryFile(id, ".env").c_str(), paths.HoldFile(id, ".env").c_str()) != 0 ||
        ::rename(paths.EntryFile(id, ".msg").c_str(), paths.HoldFile(id, ".msg").c_str()) != 0) {
        QueueLog(module, 1, "Queue entry %08X should be held (%s) but %s; the next walk finishes or undoes it",
                 shown, reason.c_str(), SystemFault("cannot move it into " + paths.Hold()).c_str());
        return false;
    }
    QueueLog(module, 1, "Queue entry %08X held (%s); `locmail queue release %08X` puts it back", shown,
             reason.c_str(), shown);
    return true;
}

bool FinishInterruptedHold(const QueuePaths& paths, uint32_t id)
{
    if (!FileExists(paths.HoldFile(id, ".env")))
        return false;
    return ::rename(paths.EntryFile(id, ".msg").c_str(), paths.HoldFile(id, ".msg").c_str()) == 0 || errno == ENOENT;
}

ReleaseResult ReleaseHeldEntry(const QueuePaths& paths, const std::string& module, uint32_t id)
{
    const std::string heldEnvelope = paths.HoldFile(id, ".env");
    if (!FileExists(heldEnvelope) || !FileExists(paths.HoldFile(id, ".msg")))
        return {false, "entry " + EntryName(id) + " is not held (no " + paths.HoldFile(id, ".env/.msg") + ")"};
    if (FileExists(paths.EntryFile(id, ".env")) || FileExists(paths.EntryFile(id, ".msg")))
        return {false, "the id " + EntryName(id) + " is in use in " + paths.Entries()};
    UniqueFd lock = LockLinkedFile(heldEnvelope);
    ParsedEnvelope parsed = ReadEnvelopeFile(heldEnvelope, id);
    if (!lock || !parsed.ok)
        return {false, "its envelope cannot be used: " + (lock ? parsed.fault : SystemFault("cannot lock it"))};
    std::string fault;
    if (parsed.data.crashes != 0) {
        parsed.data.crashes = 0;
        if (!ReplaceEnvelope(paths, id, parsed.data, heldEnvelope, fault))
            return {false, fault};
    }
    // Text first: an envelope in entries/ is what makes the entry whole again.
    if (::rename(paths.HoldFile(id, ".msg").c_str(), paths.EntryFile(id, ".msg").c_str()) != 0)
        return {false, SystemFault("cannot move its text into " + paths.Entries())};
    if (::rename(heldEnvelope.c_str(), paths.EntryFile(id, ".env").c_str()) != 0) {
        fault = SystemFault("cannot move its envelope into " + paths.Entries());
        (void)::rename(paths.EntryFile(id, ".msg").c_str(), paths.HoldFile(id, ".msg").c_str());
        return {false, fault};
    }
    MarkChannels(paths, id, parsed.data);
    ::unlink(paths.HoldFile(id, ".why").c_str());
    QueueLog(module, 2, "Queue entry %08X released from hold", static_cast<unsigned>(id));
    return {true, ""};
}

HeldListing ListHeld(const QueuePaths& paths)
{
    HeldListing listing;
    std::vector<uint32_t> ids;
    if (!ListEntryIds(paths.Hold(), ".env", ids))
        return listing; // no hold area yet
    for (uint32_t id : ids) {
        ParsedEnvelope parsed = ReadEnvelopeFile(paths.HoldFile(id, ".env"), id);
        if (!parsed.ok) {
            listing.notes.push_back("held entry " + EntryName(id) + " skipped: " + parsed.fault);
            continue;
        }
        if (!FileExists(paths.HoldFile(id, ".msg"))) {
            listing.notes.push_back("held entry " + EntryName(id) + " skipped: message text is missing");
            continue;
        }
        listing.entries.push_back({id, std::move(parsed.data), ReadReason(paths, id)});
    }
    return listing;
}

} // namespace locmail::mq
