// The start of a delivery service (`locmail run`, `locmail lmtp`): settings,
// the installation owner's rights, a check of the installation, the log and
// the file limit.
//
// Contract: StartService reads the configuration into SETTINGS, acts as the
// installation's owner (InstallationOwner.h), refuses a queue or store that
// `locmail init` did not make, opens the log and raises the soft limit of
// open files to the hard one (each user's relations stay open between
// messages).
// Failure modes: a sysexits status after one line on standard error:
// EX_CONFIG for settings or an installation that cannot be used, EX_TEMPFAIL
// for a store home that is not there (not mounted yet?), the owner's codes.
#pragma once

#include "host/Settings.h"

namespace locmail::host {

int StartService(Settings& settings);

} // namespace locmail::host
