// One directory entry as a backend returns it: its name and its attributes,
// one pair per value, in the order the directory gave them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace locmail::ldap {

struct DirectoryEntry {
    std::string dn;
    std::vector<std::pair<std::string, std::string>> attributes; // (name, value)
};

} // namespace locmail::ldap
