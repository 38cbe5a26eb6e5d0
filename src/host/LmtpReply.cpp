#include "host/LmtpReply.h"

#include "delivery/StatusCodes.h"
#include "suite/msgstore/StoreCodes.h"

namespace locmail::host {
namespace {

namespace codes = msgstore;
using delivery::Outcome;

constexpr std::size_t kReasonMax = 300;

bool IsUnknownMailbox(const delivery::OutcomeFacts& facts)
{
    const int code = facts.storeCode;
    return facts.agentStatus == delivery::kStatusNoMailbox || code == codes::kCodeUnknownRecipient ||
           code == codes::kCodeMailboxDamaged || code == codes::kCodeUnknownSharedMailbox ||
           code == codes::kCodeNoHomeDirectory || code == codes::kCodeBadAddress;
}

std::string Printable(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, kReasonMax))
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return out;
}

std::string_view StatusOf(const delivery::OutcomeFacts& facts)
{
    switch (facts.status) {
    case Outcome::Filed:
    case Outcome::Discarded: return "250 2.0.0";
    case Outcome::Returned:
        if (facts.agentStatus == delivery::kStatusMayNotReceive)
            return "550 5.2.1";
        if (IsUnknownMailbox(facts))
            return "550 5.1.1";
        if (facts.storeCode == codes::kCodeFolderFull)
            return "552 5.2.2";
        return "550 5.2.0";
    case Outcome::Deferred:
        if (facts.storeCode == codes::kCodeStoreUnavailable || facts.storeCode == codes::kCodeHomeLockFailed)
            return "451 4.3.0";
        return "451 4.2.0";
    case Outcome::Held: break;
    }
    return "451 4.3.0";
}

} // namespace

std::string LmtpReplyFor(const delivery::OutcomeFacts& facts, std::string_view recipient)
{
    std::string line = std::string(StatusOf(facts)) + " <" + Printable(recipient) + ">";
    if (facts.status == Outcome::Filed || facts.status == Outcome::Discarded)
        return line + " delivered";
    return line + " " + Printable(facts.reason);
}

} // namespace locmail::host
