// What `locmail inject` accepts: the message text on standard input and the
// envelope addresses on the command line, checked before anything is queued.
#pragma once

#include <string>
#include <string_view>

namespace locmail::host {

// Lines end in CR LF in the queue: a line feed without a carriage return before it
// gets one. Text that already uses CR LF comes back unchanged.
std::string ToCrlfLines(std::string_view text);

// Empty when the agent can take TEXT (CR LF lines) as a message, else why not:
// its header must end, with an empty line or with the end of the text after a
// last line feed (the agent's header-end rule, delivery/QueuedHeaderSize.h).
std::string MessageShapeProblem(std::string_view text);

// Empty when ADDRESS can be queued, else why not: a mailbox as SMTP carries it
// (util/MailboxSyntax.h). The agent keeps addresses in 1024-character fields,
// so longer ones are refused here rather than cut later. The sender may be
// the null reverse path, empty or "<>" (IsNullSender), which is queued empty.
std::string AddressProblem(std::string_view address, bool isSender);
bool IsNullSender(std::string_view address);

} // namespace locmail::host
