// Folder names and folder directories of a mailbox.
//
// A folder path is a name with `\` between its levels ("Spam\Old"). On disk
// each level is a directory named by the level's text followed by the text in
// upper-case hexadecimal, so names that differ only in case or in characters a
// file system would fold stay apart: "inbox" lives in inbox696E626F78 and
// "Spam\Old" in Spam5370616D/Old4F6C64 under the home directory.
//
// Contract: EncodeFolderPath drops empty levels (leading, trailing or doubled
// separators) and keeps `\` between the encoded levels; an empty result means
// "no folder". FolderDirectory joins an encoded path onto a home directory
// with `/`; it refuses (nullopt) a level that holds `/` or a NUL byte, which
// would otherwise name a place outside the folder tree. No function throws
// except std::bad_alloc.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::msgstore {

std::string HexEncodeText(std::string_view text);
// The levels of a folder path, without the empty ones.
std::vector<std::string_view> FolderLevels(std::string_view folderPath);
// The folder's one name: its levels joined with `\`, empty ones dropped
// ("\Junk" and "Junk\\" are "Junk"). Every mbxstat key is such a name, so
// one directory never carries two records.
std::string NormalizeFolderPath(std::string_view folderPath);
std::string EncodeFolderPath(std::string_view folderPath);

// HOME + "/" + the encoded levels joined with "/", from an already encoded path.
std::optional<std::string> FolderDirectoryOf(std::string_view home, std::string_view encodedPath);
// The same from a plain folder path; nullopt also when the path has no level.
std::optional<std::string> FolderDirectory(std::string_view home, std::string_view folderPath);

// 0 when every level of FOLDERDIR (from FolderDirectory) below HOME that
// exists is a real directory; ELOOP for a symbolic link on the way (it could
// lead out of the store), ENOTDIR for anything else. Missing levels end the
// check with 0: callers tell a folder that is not there by its record.
int FolderLevelsCheck(std::string_view home, std::string_view folderDir);

} // namespace locmail::msgstore
