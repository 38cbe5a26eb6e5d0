#include "suite/ldap/LdifReader.h"

#include "suite/cclient/Base64.h"
#include "suite/platform/Files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace locmail::ldap {
namespace {

// The logical lines of TEXT with their first physical line numbers:
// continuations joined, comments dropped, empty lines kept as separators.
struct LogicalLine {
    std::string text;
    std::size_t number;
};

std::vector<LogicalLine> JoinLines(std::string_view text)
{
    std::vector<LogicalLine> lines;
    bool inComment = false;
    std::size_t number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() == ' ') {
            if (!inComment && !lines.empty() && !lines.back().text.empty())
                lines.back().text.append(line.substr(1));
            continue;
        }
        inComment = !line.empty() && line.front() == '#';
        if (!inComment)
            lines.push_back({std::string(line), number});
    }
    return lines;
}

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

// "name: value" or "name:: base64"; the error text is empty on success.
std::string SplitLine(const std::string& line, std::string& name, std::string& value)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        return "no attribute name and colon";
    name = line.substr(0, colon);
    std::string_view rest = std::string_view(line).substr(colon + 1);
    if (!rest.empty() && rest.front() == '<')
        return "values from URLs are not served";
    if (!rest.empty() && rest.front() == ':') {
        std::optional<std::string> decoded = cclient::DecodeBase64(TrimLeft(rest.substr(1)));
        if (!decoded)
            return "bad base64 value";
        value = std::move(*decoded);
    }
    else {
        value = std::string(TrimLeft(rest));
    }
    return {};
}

LdifContent Refuse(std::size_t number, const std::string& why)
{
    return {{}, "line " + std::to_string(number) + ": " + why};
}

} // namespace

LdifContent ParseLdif(std::string_view text)
{
    LdifContent content;
    DirectoryEntry* entry = nullptr;
    bool first = true;
    for (const LogicalLine& line : JoinLines(text)) {
        if (line.text.empty()) {
            entry = nullptr;
            continue;
        }
        std::string name, value;
        if (std::string why = SplitLine(line.text, name, value); !why.empty())
            return Refuse(line.number, why);
        const bool version = first && entry == nullptr && name == "version";
        first = false;
        if (version)
            continue;
        if (entry == nullptr) {
            if (name != "dn")
                return Refuse(line.number, "an entry must begin with \"dn:\"");
            if (content.entries.size() == kMaxLdifEntries)
                return Refuse(line.number, "more than " + std::to_string(kMaxLdifEntries) + " entries");
            entry = &content.entries.emplace_back();
            entry->dn = std::move(value);
        }
        else if (name == "changetype" || name == "dn") {
            return Refuse(line.number, "\"" + name + ":\" inside an entry (change records are not served)");
        }
        else {
            entry->attributes.emplace_back(std::move(name), std::move(value));
        }
    }
    return content;
}

LdifContent ReadLdif(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {{}, std::string("cannot read it: ") + std::strerror(errno)};
    if (static_cast<std::size_t>(info.st_size) > kMaxLdifBytes)
        return {{}, "larger than " + std::to_string(kMaxLdifBytes) + " bytes"};
    std::string text;
    if (!ReadWholeFile(path, text))
        return {{}, std::string("cannot read it: ") + std::strerror(errno)};
    if (text.size() > kMaxLdifBytes)
        return {{}, "larger than " + std::to_string(kMaxLdifBytes) + " bytes"};
    return ParseLdif(text);
}

} // namespace locmail::ldap
