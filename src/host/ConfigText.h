// The configuration file that `locmail init` writes, and the example the
// install ships: one text, so the two cannot drift apart.
#pragma once

#include <string>

namespace locmail::host {

// A complete working qxmta.ini for an installation in DIR, mail for the
// postmaster going to POSTMASTER.
std::string ConfigText(const std::string& dir, const std::string& postmaster);

} // namespace locmail::host
