// The directory name of a user's or shared mailbox's home, derived from its
// address.
//
// HomeDirectoryName gives a readable part and a short hash:
//   "Alice.Smith@Example.org" -> "alice.smith@example.org-5d0c9f1e"
// The readable part is the address in lower case (ASCII letters), with every
// byte other than a-z, 0-9 and ". - _ + @ =" replaced by '_', a '.' that would
// start the name or follow another '.' replaced by '_', and cut to 64 bytes;
// the hash is FNV-1a (32 bits) of the lower-cased address, in hexadecimal. So
// the name is never "." or "..", holds no "/", no ".." and no control
// character, never starts with a dot, fits any file system's name limit, and
// is the same for every spelling of an address that differs only in case.
// Two addresses that still give the same name are kept apart by the caller
// (UniqueHomeName), so a home is never shared.
//
// Failure modes: none; every input, empty and binary included, gives a name.
#pragma once

#include <string>
#include <string_view>

namespace locmail::msgstore {

inline constexpr std::size_t kHomeNameReadableMax = 64;

std::string HomeDirectoryName(std::string_view address);

// ASCII lower case, the folding under which addresses match.
std::string FoldAddress(std::string_view address);

// The part of ADDRESS before its last '@' (all of it when there is none).
std::string_view LocalPart(std::string_view address);

} // namespace locmail::msgstore
