// Who an installation belongs to, and running every command that changes it as
// that user, so that root can never leave a file the service cannot use.
//
// Contract: the owner is whoever owns the queue directory ([Gateway]
// QueueDirectory), else the store home when there is no queue; `locmail init
// --owner` sets it, nothing else has to be configured. ActAsInstallationOwner
// is called by each command that writes into an installation, after it has
// read the configuration and before it opens anything in the installation
// (log, queue, store): as the owner it goes on; as root it takes the owner's
// groups and user ids for good; as anyone else it refuses. An installation
// with no configuration file, or neither queue nor store, has no owner yet:
// the command goes on and reports what is missing itself.
// Failure modes: ActAsInstallationOwner returns EX_NOPERM (someone else's
// installation) or EX_OSERR (the switch failed) after one line on standard
// error; OwnTree returns false after one.
#pragma once

#include "host/Settings.h"

#include <sys/types.h>

#include <optional>
#include <string>

namespace locmail::host {

struct Owner {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name; // the user's name, or the number when it has none
    bool named = true;
};

// The user called NAME, with the primary group the system gives it.
std::optional<Owner> FindUser(const std::string& name);

// The owner of the installation SETTINGS describes; none when neither its
// queue nor its store exists.
std::optional<Owner> FindInstallationOwner(const Settings& settings);

int ActAsInstallationOwner(const Settings& settings);

// Gives PATH and everything below it (never following a link) to OWNER.
bool OwnTree(const std::string& path, const Owner& owner);

} // namespace locmail::host
