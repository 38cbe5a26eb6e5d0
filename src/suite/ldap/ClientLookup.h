// ClientLookup: the store's directory lookups (DirectoryLookup, CVEXLDAP.h)
// through an ldapClient on the directory that qxmta.ini names ([Ldap]
// HostName, Port, Username, Password, or LdifFile).
//
// FindEntry connects, binds, searches the whole subtree under the default base
// for FILTER and unbinds, every call: lookups are rare (mailbox migration).
// Failure modes: CLDAPException with the directory's code when it cannot be
// reached or the bind is refused ("Unable to connect to LDAP server",
// "Unable to bind to LDAP server"); a failed search counts as no entry.
#pragma once

#include "suite/vexclass/CVEXLDAP.h"

namespace locmail::ldap {

class ClientLookup : public DirectoryLookup {
public:
    std::optional<Attributes> FindEntry(const char* filter) override;
};

// The [Ldap] port: the number in Port, 389 when it is empty or 0.
int ConfiguredPort();

} // namespace locmail::ldap
