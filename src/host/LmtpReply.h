// The LMTP reply for one recipient, from the outcome its delivery logged
// (delivery/OutcomeLine.h).
//
// Contract: filed or discarded: "250 2.0.0"; returned: "550 5.1.1" for an
// unknown mailbox, "550 5.2.1" for a user who may not receive mail now,
// "552 5.2.2" for a full folder, "550 5.2.0" otherwise; deferred: "451 4.3.0"
// when the store as a whole cannot take mail, "451 4.2.0" for one mailbox;
// held: "451 4.3.0". The text names the recipient and gives the reason,
// with bytes outside printable ASCII replaced and cut to fit a reply line.
// Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include "delivery/OutcomeLine.h"

#include <string>
#include <string_view>

namespace locmail::host {

std::string LmtpReplyFor(const delivery::OutcomeFacts& facts, std::string_view recipient);

// The reply for a recipient whose outcome is not known in time: the client
// retries, and the retry is recognised by its key.
inline constexpr std::string_view kLmtpOutcomeUnknown = "451 4.3.0 Delivery not confirmed in time; try again later";

} // namespace locmail::host
