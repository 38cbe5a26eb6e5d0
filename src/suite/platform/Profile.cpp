#include "suite/platform/Profile.h"

#include "suite/platform/Bounded.h"
#include "suite/platform/Config.h"
#include "suite/platform/DigitValue.h"
#include "suite/platform/Files.h"
#include "suite/platform/ProfileCache.h"

#include <strings.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace locmail {

std::string ResolveProfilePath(const char* file)
{
    if (file == nullptr || *file == '\0')
        return {};
    if (std::strchr(file, '/') != nullptr)
        return file;
    std::string config = ConfigFilePath();
    if (::strcasecmp(file, "qxmta.ini") == 0)
        return config;
    auto slash = config.rfind('/');
    return slash == std::string::npos ? std::string(file)
                                      : PathJoin(std::string_view(config).substr(0, slash + 1), file);
}

} // namespace locmail

namespace {

std::string_view DefaultText(const char* def)
{
    std::string_view text(def ? def : "");
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A cut value is part of the contract (result SIZE-1), so the outcome of the
// bounded copy needs no further handling here.
unsigned long CopyText(char* out, unsigned long size, std::string_view text)
{
    (void)locmail::CopyBounded(std::span<char>(out, size), text);
    return text.size() < size ? static_cast<unsigned long>(text.size()) : size - 1;
}

// NAMES as a list of terminated strings followed by one more terminator.
unsigned long CopyNameList(char* out, unsigned long size, const std::vector<std::string_view>& names)
{
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    unsigned long pos = 0; // invariant: pos <= size - 2
    for (std::string_view name : names) {
        if (pos + name.size() + 2 > size) {
            std::size_t room = size - 2 - pos;
            std::memcpy(out + pos, name.data(), room);
            out[size - 2] = '\0';
            out[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(out + pos, name.data(), name.size());
        pos += static_cast<unsigned long>(name.size());
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    if (pos == 0)
        out[1] = '\0';
    return pos;
}

std::shared_ptr<const locmail::ProfileData> LoadProfile(const char* file)
{
    std::string path = locmail::ResolveProfilePath(file);
    if (path.empty())
        return nullptr;
    return locmail::ProfileCache::Instance().Load(path);
}

std::optional<unsigned int> ParseLeadingInteger(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || locmail::DigitValue(text[i]) >= 10)
        return std::nullopt;
    unsigned base = 10;
    if (text[i] == '0' && i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        locmail::DigitValue(text[i + 2]) < 16) {
        base = 16;
        i += 2;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && locmail::DigitValue(text[i]) < static_cast<int>(base); ++i)
        value = value * base + static_cast<std::uint32_t>(locmail::DigitValue(text[i]));
    return negative ? 0u - value : value;
}

} // namespace

unsigned long GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                       char* out, unsigned long size, const char* file)
{
    if (out == nullptr || size == 0)
        return 0;
    auto profile = LoadProfile(file);
    if (section == nullptr)
        return CopyNameList(out, size, profile ? profile->SectionNames() : std::vector<std::string_view>{});
    if (key == nullptr)
        return CopyNameList(out, size, profile ? profile->KeyNames(section) : std::vector<std::string_view>{});
    const std::string_view* value = profile ? profile->Find(section, key) : nullptr;
    return CopyText(out, size, value ? *value : DefaultText(def));
}

unsigned int GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file)
{
    if (section == nullptr || key == nullptr)
        return static_cast<unsigned int>(def);
    auto profile = LoadProfile(file);
    const std::string_view* value = profile ? profile->Find(section, key) : nullptr;
    if (value == nullptr)
        return static_cast<unsigned int>(def);
    return ParseLeadingInteger(*value).value_or(static_cast<unsigned int>(def));
}
