// The embedded directory: ldapClient's answers from the LDIF file named by
// [Ldap] LdifFile, for installations without a directory server.
//
// Connect reads and checks the file (LdifReader.h) and ignores host and port;
// Bind accepts any name and password, since the file is guarded by its own
// permissions; Search evaluates the filter (SearchFilter.h) over the entries
// in file order. An empty base or the scope 2 of a base covers the entries
// whose names end with the base (names compared without regard to case and
// to blanks after commas); scope 0 is the base entry alone, 1 its children.
// Failure modes: an unreadable or malformed file fails Connect with -1 and a
// level 1 line naming the file and the line; an unsupported filter fails
// Search with LDAP_FILTER_ERROR (0x57) and a level 1 line; Search before a
// successful Connect gives -1.
#pragma once

#include "suite/ldap/DirectoryBackend.h"

#include <string>

namespace locmail::ldap {

class LdifDirectory : public DirectoryBackend {
public:
    explicit LdifDirectory(std::string path) : path_(std::move(path)) {}

    int Connect(const char* host, int port) override;
    int Bind(const char* name, const char* password) override;
    int Search(const char* base, int scope, int attrsOnly, const char* filter,
               std::vector<DirectoryEntry>& out) override;
    void Unbind() override;

private:
    std::string path_;
    std::vector<DirectoryEntry> entries_;
    bool connected_ = false;
};

} // namespace locmail::ldap
