// A directory server over LDAP v3, with OpenLDAP's libldap.
//
// Connect opens ldap://HOST:PORT/ at once (not at the first operation), so an
// unreachable server fails Connect (and so does an empty HOST: no server is
// configured, and libldap would take it for this machine); Bind is a simple bind (an empty name is
// an anonymous bind); Search reads every value of every attribute, at most
// kMaxEntries entries. Every network step is bounded by the time limit given
// at construction: connecting by LDAP_OPT_NETWORK_TIMEOUT, each operation by
// LDAP_OPT_TIMEOUT and the search's own limit, so a server that accepts and
// never answers costs that many seconds, not a hang.
// Failure modes: the libldap result code, logged at level 1 with its text;
// a size limit hit keeps the entries received (level 2 line).
// Owns the LDAP handle and every result, entry, BerElement and value array it
// reads (RAII); one object, one thread.
#pragma once

#include "suite/ldap/DirectoryBackend.h"

#include <memory>

typedef struct ldap LDAP;

namespace locmail::ldap {

class LdapServer : public DirectoryBackend {
public:
    explicit LdapServer(int timeoutSeconds) : timeoutSeconds_(timeoutSeconds > 0 ? timeoutSeconds : 1) {}

    int Connect(const char* host, int port) override;
    int Bind(const char* name, const char* password) override;
    int Search(const char* base, int scope, int attrsOnly, const char* filter,
               std::vector<DirectoryEntry>& out) override;
    void Unbind() override;

private:
    struct HandleFree {
        void operator()(LDAP* handle) const noexcept;
    };

    int timeoutSeconds_;
    std::unique_ptr<LDAP, HandleFree> handle_;
};

} // namespace locmail::ldap
