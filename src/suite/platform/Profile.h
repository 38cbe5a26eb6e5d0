// The Windows profile functions over .ini files, with their Windows contract.
//
// GetPrivateProfileStringA copies the value of KEY in SECTION of FILE into OUT
// (SIZE characters including the terminator) and returns the number of
// characters copied, not counting the terminator:
//   - sections and keys match without regard to case; see ProfileData.h for
//     the file syntax (comments, trimming, quotes, first key wins);
//   - a missing file, section or key gives DEF (null counts as "", trailing
//     blanks of DEF are dropped as Windows does); an empty value is a value;
//   - a text longer than SIZE-1 is cut to SIZE-1 characters, result SIZE-1;
//   - null KEY: OUT receives the key names of SECTION, null SECTION: the
//     section names; each name terminated, then one more terminator. When the
//     list does not fit, it is cut and ends in two terminators, result SIZE-2;
//     a missing section or file gives an empty list;
//   - null OUT or SIZE 0: nothing is written, result 0.
// GetPrivateProfileIntA returns the leading integer of the value (optional
// sign, decimal or "0x" hexadecimal, wrapping modulo 2^32 like the Windows
// conversion; a negative value comes back as its unsigned image), or DEF when
// the key is missing, or the value does not start with a number, or SECTION
// or KEY is null.
//
// FILE: a name without '/' is taken beside the configuration file ("qxmta.ini"
// itself is locmail::ConfigFilePath()); a name with '/' is used as given; a
// null or empty FILE is a missing file. Files are parsed once and re-parsed
// only when changed (ProfileCache.h). Thread-safe. Nothing throws except
// std::bad_alloc.
#pragma once

#include <string>

unsigned long GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                       char* out, unsigned long size, const char* file);

unsigned int GetPrivateProfileIntA(const char* section, const char* key, int def,
                                   const char* file);

namespace locmail {

// The path the profile functions read for FILE; empty for a null or empty FILE.
std::string ResolveProfilePath(const char* file);

} // namespace locmail
