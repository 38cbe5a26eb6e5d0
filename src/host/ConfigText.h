// The configuration file that `locmail init` writes, and the example the
// install ships: one text, so the two cannot drift apart.
#pragma once

#include <string>

namespace locmail::host {

// A complete working qxmta.ini for an installation in DIR, mail for the
// postmaster going to POSTMASTER.
std::string ConfigText(const std::string& dir, const std::string& postmaster);

// The installation's directory, an LDIF file (docs/locmail.schema): the
// pre-processor's entry, whose x-vexblaction values set the X Scanner's
// action for each RBL host; the examples are comments.
std::string DirectoryText();

inline constexpr const char* kDirectoryFile = "directory.ldif";

} // namespace locmail::host
