// ldapClient: the suite's directory client, as the X Scanner and the store's
// directory lookups use it.
//
// Contract: construct; ldapClientConnect(host, port) and
// ldapClientBind(name, password) return 0 on success; ldapClientSearch(base,
// scope, attrsOnly, filter, &count) returns a SearchReq (SearchReq.h) that the
// caller gives back with srch_free, or null on failure, and sets COUNT to the
// number of entries found (0 on failure); ldapClientUnbind ends the session.
// SCOPE is 0 base, 1 one level, 2 subtree; an empty BASE is the directory's
// default base; ATTRSONLY nonzero returns names with empty values.
//
// Where it answers from, read at construction from qxmta.ini: when
// [Ldap] LdifFile is set, from that LDIF file (a name without "/" lies beside
// qxmta.ini; LdifDirectory.h), host and port being ignored; otherwise from the
// LDAP server at host:port (LdapServer.h), each network step limited to
// [Ldap] TimeOutSeconds (default 5).
// Failure modes: nonzero results and null searches, each logged once under
// "LDAP Client"; at most kMaxEntries entries per search. Nothing throws but
// std::bad_alloc. One object, one thread.
#pragma once

#include "suite/ldap/SearchReq.h"

#include <memory>
#include <string>

namespace locmail::ldap {
class DirectoryBackend;
}

class ldapClient {
public:
    ldapClient();
    // A client over BACKEND, for tests and for callers that chose one already.
    explicit ldapClient(std::unique_ptr<locmail::ldap::DirectoryBackend> backend);
    ~ldapClient();
    ldapClient(const ldapClient&) = delete;
    ldapClient& operator=(const ldapClient&) = delete;

    int ldapClientConnect(const char* host, int port);
    int ldapClientBind(const char* name, const char* password);
    SearchReq* ldapClientSearch(const char* base, int scope, int attrsOnly, const char* filter, int* count);
    void srch_free(SearchReq* result);
    int ldapClientUnbind();

private:
    std::unique_ptr<locmail::ldap::DirectoryBackend> m_backend;
};

namespace locmail::ldap {

// The backend qxmta.ini chooses, as the default constructor takes it.
std::unique_ptr<DirectoryBackend> ConfiguredBackend();

// Releases a SearchReq through srch_free when the scope ends.
struct SearchReqFree {
    void operator()(SearchReq* result) const noexcept { delete result; }
};
using SearchResult = std::unique_ptr<SearchReq, SearchReqFree>;

} // namespace locmail::ldap
