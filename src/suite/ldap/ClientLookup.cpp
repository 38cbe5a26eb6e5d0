#include "suite/ldap/ClientLookup.h"

#include "suite/ldap/ldapClient.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/vexclass/CLDAPException.h"

#include <cstdlib>

namespace locmail::ldap {

int ConfiguredPort()
{
    const int port = std::atoi(config::ReadText(config::kLdapPort).c_str());
    return port == 0 ? 389 : port;
}

std::optional<DirectoryLookup::Attributes> ClientLookup::FindEntry(const char* filter)
{
    ldapClient client;
    if (int rc = client.ldapClientConnect(config::ReadText(config::kLdapHostName).c_str(), ConfiguredPort()); rc != 0)
        throw CLDAPException(rc, "Unable to connect to LDAP server");
    if (int rc = client.ldapClientBind(config::ReadText(config::kLdapUsername).c_str(),
                                       config::ReadText(config::kLdapPassword).c_str());
        rc != 0)
        throw CLDAPException(rc, "Unable to bind to LDAP server");
    int count = 0;
    SearchResult result(client.ldapClientSearch("", 2, 0, filter, &count));
    client.ldapClientUnbind();
    if (!result || count == 0)
        return std::nullopt;
    Attributes attributes;
    for (const SearchAttr* node = result->attrs; node->next != nullptr && node->entry == 0; node = node->next)
        attributes.emplace_back(node->attr, node->value);
    return attributes;
}

} // namespace locmail::ldap
