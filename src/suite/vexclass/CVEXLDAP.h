// CVEXLDAP: the directory lookups of the suite's shared classes.
//
// GetOtherMbxAttr(filter, connector, localName): searches the directory for
// FILTER and, in the first entry found, chooses the entry's name on the mail
// system CONNECTOR: the value "CONNECTOR$NAME" of its othermailbox attribute
// (connector compared without regard to case) gives NAME; an entry without
// such a value gives its uid. True with NAME in LOCALNAME (kLocalNameSize
// characters with the terminator) when one was found; false when no entry
// matched, the entry has neither, or the name does not fit (logged, never cut).
//
// The search itself is a DirectoryLookup that the host installs (the
// directory client lies above this library); without one, every lookup
// throws CLDAPException -1 "No directory configured".
// Failure modes: CLDAPException when the directory cannot be asked.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One search for one entry: the attributes (name, value; one pair per value)
// of the first entry that FILTER matches, std::nullopt when none does.
// Throws CLDAPException when the directory cannot be asked.
class DirectoryLookup {
public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;
    virtual ~DirectoryLookup() = default;
    virtual std::optional<Attributes> FindEntry(const char* filter) = 0;
};

class CVEXLDAP {
public:
    static constexpr std::size_t kLocalNameSize = 1024;

    CVEXLDAP() = default;
    virtual ~CVEXLDAP() = default;
    CVEXLDAP(const CVEXLDAP&) = delete;
    CVEXLDAP& operator=(const CVEXLDAP&) = delete;

    void SetLookup(std::unique_ptr<DirectoryLookup> lookup) { m_lookup = std::move(lookup); }
    bool GetOtherMbxAttr(const char* filter, const char* connector, char* localName);

private:
    std::unique_ptr<DirectoryLookup> m_lookup;
};
