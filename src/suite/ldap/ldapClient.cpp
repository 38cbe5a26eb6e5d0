#include "suite/ldap/ldapClient.h"

#include "suite/ldap/LdapServer.h"
#include "suite/ldap/LdifDirectory.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Profile.h"

#include <vector>

namespace locmail::ldap {

std::unique_ptr<DirectoryBackend> ConfiguredBackend()
{
    const std::string ldif = config::ReadText(config::kLdapLdifFile);
    if (!ldif.empty())
        return std::make_unique<LdifDirectory>(ResolveProfilePath(ldif.c_str()));
    return std::make_unique<LdapServer>(static_cast<int>(config::ReadNumber(config::kLdapTimeOutSeconds)));
}

} // namespace locmail::ldap

ldapClient::ldapClient() : m_backend(locmail::ldap::ConfiguredBackend()) {}

ldapClient::ldapClient(std::unique_ptr<locmail::ldap::DirectoryBackend> backend) : m_backend(std::move(backend)) {}

ldapClient::~ldapClient() = default;

int ldapClient::ldapClientConnect(const char* host, int port) { return m_backend->Connect(host, port); }

int ldapClient::ldapClientBind(const char* name, const char* password) { return m_backend->Bind(name, password); }

SearchReq* ldapClient::ldapClientSearch(const char* base, int scope, int attrsOnly, const char* filter, int* count)
{
    if (count != nullptr)
        *count = 0;
    std::vector<locmail::ldap::DirectoryEntry> entries;
    if (m_backend->Search(base, scope, attrsOnly, filter, entries) != 0)
        return nullptr;
    SearchReq* result = locmail::ldap::MakeSearchReq(entries);
    if (count != nullptr)
        *count = result->entries;
    return result;
}

void ldapClient::srch_free(SearchReq* result) { delete result; }

int ldapClient::ldapClientUnbind()
{
    m_backend->Unbind();
    return 0;
}
