#include "suite/msgstore/FolderPath.h"

#include "suite/platform/Files.h"

#include <sys/stat.h>

#include <cerrno>

namespace locmail::msgstore {

std::string HexEncodeText(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}

std::vector<std::string_view> FolderLevels(std::string_view folderPath)
{
    std::vector<std::string_view> levels;
    std::size_t start = 0;
    while (start <= folderPath.size()) {
        std::size_t end = folderPath.find('\\', start);
        if (end == std::string_view::npos)
            end = folderPath.size();
        if (end > start)
            levels.push_back(folderPath.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

std::string NormalizeFolderPath(std::string_view folderPath)
{
    std::string out;
    for (std::string_view level : FolderLevels(folderPath)) {
        if (!out.empty())
            out += '\\';
        out.append(level);
    }
    return out;
}

std::string EncodeFolderPath(std::string_view folderPath)
{
    std::string out;
    for (std::string_view level : FolderLevels(folderPath)) {
        if (!out.empty())
            out += '\\';
        out.append(level);
        out += HexEncodeText(level);
    }
    return out;
}

std::optional<std::string> FolderDirectoryOf(std::string_view home, std::string_view encodedPath)
{
    if (encodedPath.find('/') != std::string_view::npos || encodedPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string relative(encodedPath);
    for (char& c : relative) {
        if (c == '\\')
            c = '/';
    }
    return PathJoin(home, relative);
}

std::optional<std::string> FolderDirectory(std::string_view home, std::string_view folderPath)
{
    std::string encoded = EncodeFolderPath(folderPath);
    if (encoded.empty())
        return std::nullopt;
    return FolderDirectoryOf(home, encoded);
}

int FolderLevelsCheck(std::string_view home, std::string_view folderDir)
{
    if (folderDir.size() <= home.size() || folderDir.substr(0, home.size()) != home)
        return EINVAL;
    for (std::size_t slash = home.size(); slash != std::string_view::npos;) {
        slash = folderDir.find('/', slash + 1);
        const std::string level(folderDir.substr(0, slash));
        struct stat st;
        if (::lstat(level.c_str(), &st) != 0)
            return 0;
        if (S_ISLNK(st.st_mode))
            return ELOOP;
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
    }
    return 0;
}

} // namespace locmail::msgstore
