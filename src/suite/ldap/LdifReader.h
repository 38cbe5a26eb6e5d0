// Reading an LDIF file (RFC 2849, content records) into directory entries.
//
// Served: an optional "version: 1" line; "dn:" and "attr: value" lines, with
// "::" for base64 values (decoded by c-client); lines that start with one
// blank continue the line before; lines starting with "#" are comments; one or
// more empty lines end an entry. Line ends may be LF or CRLF.
//
// Bounds: a file larger than kMaxLdifBytes, or holding more than
// kMaxLdifEntries entries, is refused as a whole: the embedded directory is
// small, and a runaway file must not cost memory or time out of proportion.
// Failure modes: ReadLdif never throws but std::bad_alloc; a file that cannot
// be read or is malformed (a line without a colon, an attribute before "dn:",
// "attr:<" URL values, change records, bad base64) gives no entries and an
// error naming the line, which the caller logs. Nothing is half read.
#pragma once

#include "suite/ldap/DirectoryEntry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::ldap {

inline constexpr std::size_t kMaxLdifBytes = 8u << 20;
inline constexpr std::size_t kMaxLdifEntries = 10000;

struct LdifContent {
    std::vector<DirectoryEntry> entries;
    std::string error; // empty when the file was read whole
};

LdifContent ParseLdif(std::string_view text);
LdifContent ReadLdif(const std::string& path);

} // namespace locmail::ldap
