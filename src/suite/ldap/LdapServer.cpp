#include "suite/ldap/LdapServer.h"

#include "suite/ldap/LogModule.h"
#include "suite/log/LogMessage.h"

#include <ldap.h>

#include <string>

namespace locmail::ldap {
namespace {

struct MessageFree {
    void operator()(LDAPMessage* message) const noexcept { ldap_msgfree(message); }
};
struct BerFree {
    void operator()(BerElement* ber) const noexcept { ber_free(ber, 0); }
};
struct MemFree {
    void operator()(char* text) const noexcept { ldap_memfree(text); }
};
struct ValuesFree {
    void operator()(berval** values) const noexcept { ldap_value_free_len(values); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;
using Text = std::unique_ptr<char, MemFree>;
using Values = std::unique_ptr<berval*, ValuesFree>;

int Fail(const char* step, int code)
{
    LogMessage(1, kLogModule, "%s: %s (%d)", step, ldap_err2string(code), code);
    return code;
}

void ReadAttributes(LDAP* handle, LDAPMessage* entry, DirectoryEntry& out)
{
    BerElement* rawBer = nullptr;
    Text name(ldap_first_attribute(handle, entry, &rawBer));
    std::unique_ptr<BerElement, BerFree> ber(rawBer);
    for (; name; name.reset(ldap_next_attribute(handle, entry, ber.get()))) {
        Values values(ldap_get_values_len(handle, entry, name.get()));
        if (!values) {
            out.attributes.emplace_back(name.get(), std::string());
            continue;
        }
        for (berval** value = values.get(); *value != nullptr; ++value)
            out.attributes.emplace_back(name.get(), std::string((*value)->bv_val, (*value)->bv_len));
    }
}

} // namespace

void LdapServer::HandleFree::operator()(LDAP* handle) const noexcept { ldap_unbind_ext_s(handle, nullptr, nullptr); }

int LdapServer::Connect(const char* host, int port)
{
    handle_.reset();
    if (host == nullptr || host[0] == '\0') {
        LogMessage(1, kLogModule, "No directory: [Ldap] HostName and LdifFile are both empty");
        return -1;
    }
    const std::string uri = "ldap://" + std::string(host ? host : "") + ":" + std::to_string(port) + "/";
    LDAP* raw = nullptr;
    if (int rc = ldap_initialize(&raw, uri.c_str()); rc != LDAP_SUCCESS)
        return Fail(("Connect to " + uri).c_str(), rc);
    handle_.reset(raw);
    const int version = LDAP_VERSION3;
    const timeval limit{timeoutSeconds_, 0};
    ldap_set_option(raw, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(raw, LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(raw, LDAP_OPT_TIMEOUT, &limit);
    ldap_set_option(raw, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    if (int rc = ldap_connect(raw); rc != LDAP_SUCCESS) {
        handle_.reset();
        return Fail(("Connect to " + uri).c_str(), rc);
    }
    return 0;
}

int LdapServer::Bind(const char* name, const char* password)
{
    if (!handle_)
        return -1;
    berval credentials{};
    credentials.bv_val = const_cast<char*>(password ? password : "");
    credentials.bv_len = std::char_traits<char>::length(credentials.bv_val);
    const int rc =
        ldap_sasl_bind_s(handle_.get(), name ? name : "", LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    return rc == LDAP_SUCCESS ? 0 : Fail("Bind", rc);
}

int LdapServer::Search(const char* base, int scope, int attrsOnly, const char* filter, std::vector<DirectoryEntry>& out)
{
    if (!handle_)
        return -1;
    timeval limit{timeoutSeconds_, 0};
    LDAPMessage* raw = nullptr;
    const int rc = ldap_search_ext_s(handle_.get(), base ? base : "", scope, filter, nullptr, attrsOnly, nullptr,
                                     nullptr, &limit, static_cast<int>(kMaxEntries), &raw);
    Message result(raw);
    if (rc == LDAP_SIZELIMIT_EXCEEDED)
        LogMessage(2, kLogModule, "Search %.200s: more than %zu entries, the rest left out", filter, kMaxEntries);
    else if (rc != LDAP_SUCCESS)
        return Fail("Search", rc);
    for (LDAPMessage* entry = ldap_first_entry(handle_.get(), result.get());
         entry != nullptr && out.size() < kMaxEntries; entry = ldap_next_entry(handle_.get(), entry)) {
        DirectoryEntry& read = out.emplace_back();
        Text dn(ldap_get_dn(handle_.get(), entry));
        read.dn = dn ? dn.get() : "";
        ReadAttributes(handle_.get(), entry, read);
    }
    return 0;
}

void LdapServer::Unbind() { handle_.reset(); }

} // namespace locmail::ldap
