// What ldapClient asks of a directory: a server over LDAP (LdapServer.h) or
// the embedded LDIF file (LdifDirectory.h). Internal to src/suite/ldap.
//
// Contract: Connect, then Bind, then any number of Search calls, then Unbind.
// Results are 0 on success or an LDAP result code (ldap.h), -1 for a failure
// that has none; every failure is logged under "LDAP Client" by the backend.
// Search appends the entries found to OUT, at most kMaxEntries of them (a
// larger result is cut there, with a log line). SCOPE is 0 (the base entry),
// 1 (its children) or 2 (the whole subtree); an empty BASE means the
// directory's default base; ATTRSONLY nonzero asks for names without values.
#pragma once

#include "suite/ldap/DirectoryEntry.h"

#include <cstddef>
#include <vector>

namespace locmail::ldap {

inline constexpr std::size_t kMaxEntries = 1000;

class DirectoryBackend {
public:
    virtual ~DirectoryBackend() = default;
    virtual int Connect(const char* host, int port) = 0;
    virtual int Bind(const char* name, const char* password) = 0;
    virtual int Search(const char* base, int scope, int attrsOnly, const char* filter,
                       std::vector<DirectoryEntry>& out) = 0;
    virtual void Unbind() = 0;
};

} // namespace locmail::ldap
