#include "suite/ldap/LdifDirectory.h"

#include "suite/ldap/LdifReader.h"
#include "suite/ldap/LogModule.h"
#include "suite/ldap/SearchFilter.h"
#include "suite/log/LogMessage.h"

#include <ldap.h>

namespace locmail::ldap {
namespace {

// Lower case, no blanks after commas or around '=': "cn=A, o=B" and "CN=a,o=b"
// meet.
std::string NormalName(std::string_view dn)
{
    std::string out;
    for (std::size_t i = 0; i < dn.size(); ++i) {
        const char c = dn[i];
        if (c == ' ' && (out.empty() || out.back() == ',' || out.back() == '=' ||
                         (i + 1 < dn.size() && (dn[i + 1] == ',' || dn[i + 1] == '='))))
            continue;
        out.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

std::size_t CountComponents(std::string_view dn)
{
    if (dn.empty())
        return 0;
    std::size_t n = 1;
    for (std::size_t i = 0; i < dn.size(); ++i)
        if (dn[i] == ',' && (i == 0 || dn[i - 1] != '\\'))
            ++n;
    return n;
}

bool InScope(const std::string& entryDn, const std::string& base, int scope)
{
    if (base.empty())
        return scope != 0;
    if (entryDn == base)
        return scope != 1;
    if (entryDn.size() <= base.size() + 1 || !entryDn.ends_with("," + base))
        return false;
    return scope == 2 || (scope == 1 && CountComponents(entryDn) == CountComponents(base) + 1);
}

} // namespace

int LdifDirectory::Connect(const char*, int)
{
    LdifContent content = ReadLdif(path_);
    if (!content.error.empty()) {
        LogMessage(1, kLogModule, "LDIF file %s refused, %s", path_.c_str(), content.error.c_str());
        connected_ = false;
        return -1;
    }
    entries_ = std::move(content.entries);
    connected_ = true;
    return 0;
}

int LdifDirectory::Bind(const char*, const char*) { return connected_ ? 0 : -1; }

int LdifDirectory::Search(const char* base, int scope, int attrsOnly, const char* filter,
                          std::vector<DirectoryEntry>& out)
{
    if (!connected_)
        return -1;
    std::optional<SearchFilter> parsed = ParseFilter(filter ? filter : "");
    if (!parsed) {
        LogMessage(1, kLogModule, "Search filter %.200s is not served by the LDIF directory", filter ? filter : "");
        return LDAP_FILTER_ERROR;
    }
    const std::string normalBase = NormalName(base ? base : "");
    for (const DirectoryEntry& entry : entries_) {
        if (!InScope(NormalName(entry.dn), normalBase, scope) || !Matches(*parsed, entry))
            continue;
        if (out.size() == kMaxEntries) {
            LogMessage(2, kLogModule, "Search %.200s: more than %zu entries, the rest left out", filter, kMaxEntries);
            break;
        }
        out.push_back(entry);
        if (attrsOnly != 0)
            for (auto& attribute : out.back().attributes)
                attribute.second.clear();
    }
    return 0;
}

void LdifDirectory::Unbind()
{
    entries_.clear();
    connected_ = false;
}

} // namespace locmail::ldap
