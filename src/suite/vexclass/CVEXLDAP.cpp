#include "suite/vexclass/CVEXLDAP.h"

#include "suite/log/LogMessage.h"
#include "suite/platform/Bounded.h"
#include "suite/vexclass/CLDAPException.h"

#include <span>
#include <strings.h>

namespace {

constexpr const char* kLogModule = "LDAP Client";

bool IsAttribute(const std::string& name, const char* wanted) { return ::strcasecmp(name.c_str(), wanted) == 0; }

// NAME from "CONNECTOR$NAME" among the othermailbox values, else the uid.
std::optional<std::string> LocalName(const DirectoryLookup::Attributes& attributes, const std::string& connector)
{
    const std::string prefix = connector + "$";
    for (const auto& [name, value] : attributes)
        if (IsAttribute(name, "othermailbox") && value.size() > prefix.size() &&
            ::strncasecmp(value.c_str(), prefix.c_str(), prefix.size()) == 0)
            return value.substr(prefix.size());
    for (const auto& [name, value] : attributes)
        if (IsAttribute(name, "uid") && !value.empty())
            return value;
    return std::nullopt;
}

} // namespace

bool CVEXLDAP::GetOtherMbxAttr(const char* filter, const char* connector, char* localName)
{
    if (!m_lookup)
        throw CLDAPException(-1, "No directory configured");
    std::optional<DirectoryLookup::Attributes> entry = m_lookup->FindEntry(filter);
    if (!entry)
        return false;
    std::optional<std::string> name = LocalName(*entry, connector ? connector : "");
    if (!name) {
        LogMessage(2, kLogModule, "The entry for %.200s has no name on connector %.64s", filter, connector);
        return false;
    }
    if (locmail::CopyBounded(std::span<char>(localName, kLocalNameSize), *name) != locmail::CopyResult::Copied) {
        LogMessage(1, kLogModule, "The name found for %.200s is too long (%zu characters)", filter, name->size());
        localName[0] = '\0';
        return false;
    }
    return true;
}
