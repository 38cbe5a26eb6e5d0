// Loading the RBL host settings of the X Scanner from the directory.
#include "antispam/CXScanner.h"

#include "suite/ldap/ldapClient.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Profile.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kPreProcessorFilter = "(&(objectclass=qxconfig)(cn=PreProcessor))";
constexpr const char* kRblAttribute = "x-vexblaction";
constexpr int kDefaultPort = 389;

// [Ldap] KEY into a buffer of SIZE characters, as the directory settings are read.
template <std::size_t Size> void ReadLdapKey(const locmail::config::TextKey& key, char (&out)[Size])
{
    GetPrivateProfileStringA(key.section, key.name, key.fallback, out, Size, locmail::config::kConfigFile);
}

} // namespace

void CXScanner::LoadRblSettings()
{
    const int32_t now = static_cast<int32_t>(m_clock());
    const auto& interval = locmail::config::kXScannerReloadInterval;
    const int32_t minutes = static_cast<int32_t>(
        GetPrivateProfileIntA(interval.section, interval.name, interval.fallback, locmail::config::kConfigFile));
    if (m_lastLoad != -1 && int64_t{now} - m_lastLoad < int64_t{minutes} * 60) // 64 bits: no overflow
        return;
    XLog(5, "Loading RBL default settings");
    m_rblHosts.clear();

    ldapClient client;
    if (!ConnectAndBind(client))
        return;
    AddRblHosts(client);
    client.ldapClientUnbind();
    m_lastLoad = now;
    XLog(5, "Done");
}

bool CXScanner::ConnectAndBind(ldapClient& client)
{
    char host[128] = {};
    char port[16] = {};
    char name[64] = {};
    char password[64] = {};
    ReadLdapKey(locmail::config::kLdapHostName, host);
    ReadLdapKey(locmail::config::kLdapPort, port);
    ReadLdapKey(locmail::config::kLdapUsername, name);
    ReadLdapKey(locmail::config::kLdapPassword, password);
    const int portNumber = std::atoi(port) == 0 ? kDefaultPort : std::atoi(port);
    if (client.ldapClientConnect(host, portNumber) != 0) {
        XLog(1, "Unable to connect to LDAP server");
        return false;
    }
    return client.ldapClientBind(name, password) == 0;
}

void CXScanner::AddRblHosts(ldapClient& client)
{
    int count = 0;
    locmail::ldap::SearchResult result(client.ldapClientSearch("", 2, 0, kPreProcessorFilter, &count));
    if (!result)
        return;
    for (const SearchAttr* node = result->attrs; node->next != nullptr; node = node->next) {
        if (std::strcmp(node->attr, kRblAttribute) != 0)
            continue;
        std::optional<locmail::antispam::RblHost> host = locmail::antispam::ParseRblHost(node->value, m_channel);
        if (!host)
            continue;
        XLog(5, "RBL Host: %s; mode: %d, action: %s", host->name.c_str(), host->mode,
             locmail::antispam::RblActionName(host->action));
        m_rblHosts.push_front(std::move(*host));
    }
}
