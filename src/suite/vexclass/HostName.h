// The name of this host, for postmaster defaults, Message-IDs and the
// Reporting-MTA of returned mail.
//
// Contract: [Gateway] HostName when it is set (the name the machine has in
// mail, which gethostname often is not); else gethostname(2) as it stands;
// "localhost" when that fails or is empty.
// Failure modes: none.
#pragma once

#include <string>

namespace locmail {

std::string LocalHostName();

} // namespace locmail
