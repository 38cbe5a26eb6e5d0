// Outcome: what one run of a filter file decided, before it becomes a msgdest list.
//
// Folders and redirect addresses are kept once each, in the order first asked
// for (RFC 5228 section 4.2 and 4.3: the same action twice acts once).
// keep is true when the message is to stay in the inbox: an explicit keep, or
// the implicit keep that no fileinto, redirect, reject or discard cancelled.
#pragma once

#include "suite/mailsort/SieveScript.h"

#include <optional>
#include <string>
#include <vector>

namespace locmail::mailsort {

struct Outcome {
    bool keep = true;
    bool discard = false;
    std::vector<std::string> folders;       // own mailbox
    std::vector<std::string> sharedFolders; // "MAILBOX" or "MAILBOX/FOLDER"
    std::vector<std::string> redirects;
    std::optional<std::string> reject;      // the reason
    std::optional<VacationArgs> vacation;
};

} // namespace locmail::mailsort
