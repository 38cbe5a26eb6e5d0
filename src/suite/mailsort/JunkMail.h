// JunkMail: whether a message must get no automatic reply (RFC 3834 section 2,
// RFC 5230 section 4.5): it comes from a mailing list or from automation.
//
// Contract: true when the header has List-Id or List-Unsubscribe, Precedence
// bulk, list or junk, or Auto-Submitted with any value but "no"; or when the
// envelope sender is null ("" or "<>") or its local part is MAILER-DAEMON, or
// begins with "owner-" or ends with "-request" (all without regard to case).
// An unknown envelope sender (no Return-Path, none given) counts as not junk on
// that ground. Failure modes: none.
#pragma once

#include "suite/mailsort/MessageView.h"

#include <string>
#include <vector>

namespace locmail::mailsort {

bool IsAutoReplyForbidden(const MessageView& message, bool senderKnown);

// True when one of ADDRESSES (without regard to case) is among the recipients
// the header names: To, Cc, Bcc, Resent-To, Resent-Cc, Resent-Bcc (RFC 5230
// section 4.5: no reply to mail that reached the user some other way).
bool IsAddressedTo(const MessageView& message, const std::vector<std::string>& addresses);

} // namespace locmail::mailsort
