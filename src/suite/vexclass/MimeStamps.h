// What a composed message takes from the clock, the host and chance: the Date,
// the Message-ID, the MIME boundary and this host's name. Production leaves
// them empty and gets live values; a test fixes them to compare whole messages.
//
// Contract: ResolveStamps returns GIVEN with hostName (LocalHostName) and
// messageId (NewMessageId) filled in when empty; date and boundary stay empty
// so that the composer takes the current time (c-client's rfc822_date) and
// makes its own unique boundary. NewMessageId is "<TIME.PID.COUNT.RANDOM@HOST>",
// unique per call within a process and, by its random part, across processes.
// Failure modes: none; nothing throws but std::bad_alloc.
#pragma once

#include <string>

namespace locmail::mime {

struct Stamps {
    std::string date;
    std::string messageId;
    std::string boundary;
    std::string hostName;
};

Stamps ResolveStamps(const Stamps& given);

std::string NewMessageId(const std::string& host);

} // namespace locmail::mime
