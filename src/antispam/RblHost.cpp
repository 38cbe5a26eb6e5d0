#include "antispam/RblHost.h"

#include "antispam/ActionWords.h"
#include "antispam/NoCase.h"

namespace locmail::antispam {
namespace {

std::optional<int32_t> ChannelAction(char letter)
{
    switch (FoldAscii(letter)) {
    case 'i': return kXScannerIgnore;
    case 'd': return kXScannerDiscard;
    case 'f': return kXScannerFile;
    case 'b': return kXScannerBounce;
    default: return std::nullopt;
    }
}

void ApplyField(RblHost& host, std::size_t position, std::string_view field, std::string_view channel)
{
    if (position == 2) {
        host.mode = FoldAscii(field.front()) == 'p' ? 0 : 1;
    }
    else if (position == 3) {
        host.action = FoldAscii(field.front()) == 'd' ? kXScannerDiscard : kXScannerIgnore;
    }
    else if (StartsWithNoCase(field, channel)) {
        const std::size_t colon = field.find(':');
        if (colon != std::string_view::npos && colon + 1 < field.size())
            if (std::optional<int32_t> action = ChannelAction(field[colon + 1]))
                host.action = *action;
    }
}

} // namespace

std::optional<RblHost> ParseRblHost(std::string_view value, std::string_view channel)
{
    std::optional<RblHost> host;
    for (std::size_t position = 1;; ++position) {
        const std::size_t comma = value.find(',');
        const std::string_view field = value.substr(0, comma);
        if (field.empty())
            break;
        if (position == 1)
            host = RblHost{std::string(field), kXScannerIgnore, 0};
        else
            ApplyField(*host, position, field, channel);
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return host;
}

const char* RblActionName(int32_t action)
{
    switch (action) {
    case kXScannerIgnore: return "IGNORE";
    case kXScannerDiscard: return "DISCARD";
    case kXScannerFile: return "FILE";
    case kXScannerBounce: return "BOUNCE";
    default: return "UNKNOWN";
    }
}

} // namespace locmail::antispam
