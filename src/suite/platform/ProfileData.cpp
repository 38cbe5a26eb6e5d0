#include "suite/platform/ProfileData.h"

#include <utility>

namespace locmail {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Names and values are handed out as C strings, so an embedded NUL ends them.
std::string_view UpToNul(std::string_view s)
{
    return s.substr(0, s.find('\0'));
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::size_t ProfileData::NoCaseHash::operator()(std::string_view s) const noexcept
{
    // FNV-1a over the lower-cased bytes.
    std::size_t h = 14695981039346656037ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(LowerAscii(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool ProfileData::NoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

ProfileData::ProfileData(std::string text) : text_(std::move(text))
{
    Parse();
}

void ProfileData::Parse()
{
    std::string_view rest(text_);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    std::size_t current = kNone;
    for (std::size_t lineNumber = 1; !rest.empty(); ++lineNumber) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        ParseLine(Trim(line), lineNumber, current);
    }
}

void ProfileData::ParseLine(std::string_view line, std::size_t lineNumber, std::size_t& current)
{
    if (line.empty() || line.front() == ';' || line.front() == '#')
        return;
    if (line.front() == '[') {
        std::size_t close = line.find(']');
        if (close != std::string_view::npos)
            current = OpenSection(UpToNul(Trim(line.substr(1, close - 1))), lineNumber);
        return;
    }
    if (current == kNone)
        return;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    std::string_view key = UpToNul(Trim(line.substr(0, eq)));
    if (key.empty())
        return;
    Section& section = sections_[current];
    if (section.keys.count(key) != 0)
        return;
    std::string_view value = UpToNul(Unquote(Trim(line.substr(eq + 1))));
    section.keys.emplace(key, section.entries.size());
    section.entries.push_back({key, value, lineNumber});
}

std::size_t ProfileData::OpenSection(std::string_view name, std::size_t lineNumber)
{
    auto found = sectionIndex_.find(name);
    if (found != sectionIndex_.end())
        return found->second;
    sections_.push_back(Section{name, {}, {}, lineNumber});
    sectionIndex_.emplace(name, sections_.size() - 1);
    return sections_.size() - 1;
}

const std::string_view* ProfileData::Find(std::string_view section, std::string_view key) const
{
    auto s = sectionIndex_.find(section);
    if (s == sectionIndex_.end())
        return nullptr;
    const Section& sec = sections_[s->second];
    auto k = sec.keys.find(key);
    return k == sec.keys.end() ? nullptr : &sec.entries[k->second].value;
}

std::vector<std::string_view> ProfileData::SectionNames() const
{
    std::vector<std::string_view> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

std::size_t ProfileData::LineOf(std::string_view section, std::string_view key) const
{
    auto s = sectionIndex_.find(section);
    if (s == sectionIndex_.end())
        return 0;
    const Section& sec = sections_[s->second];
    if (key.empty())
        return sec.line;
    auto k = sec.keys.find(key);
    return k == sec.keys.end() ? 0 : sec.entries[k->second].line;
}

std::vector<std::string_view> ProfileData::KeyNames(std::string_view section) const
{
    std::vector<std::string_view> names;
    auto s = sectionIndex_.find(section);
    if (s == sectionIndex_.end())
        return names;
    const Section& sec = sections_[s->second];
    names.reserve(sec.entries.size());
    for (const Entry& e : sec.entries)
        names.push_back(e.key);
    return names;
}

} // namespace locmail
