// The listening sockets of `locmail lmtp`: a Unix socket, and a TCP address
// when one is asked for.
//
// Contract: ListenUnix replaces a socket file left at PATH by an earlier run
// (never a file of another kind), binds, gives the file mode 0660 (the
// process runs as the installation's owner, so the MTA's LMTP client needs
// the owner's group) and listens; ListenTcp takes "HOST:PORT" ("[::1]:24" for
// IPv6) and listens on its first address. Both use a large backlog: while the
// server has no free session, clients wait there. The sockets do not block
// (accept gives EAGAIN when another wake took the client).
// Failure modes: an empty fd, with WHY saying what failed.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <string>

namespace locmail::host {

UniqueFd ListenUnix(const std::string& path, std::string& why);
UniqueFd ListenTcp(const std::string& hostPort, std::string& why);

} // namespace locmail::host
