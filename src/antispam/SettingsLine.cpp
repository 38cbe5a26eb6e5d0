#include "antispam/SettingsLine.h"

#include "antispam/NoCase.h"

namespace locmail::antispam {
namespace {

constexpr SettingsKey kKeysInOrder[] = {
    SettingsKey::XScannerAction, SettingsKey::BayesianFilterAction, SettingsKey::SystemSpamFolder,
    SettingsKey::BounceReason,   SettingsKey::XBounceReason,        SettingsKey::SpamSubject,
    SettingsKey::UserSpamFolder, SettingsKey::UndeterminedFolder,   SettingsKey::WhiteList,
    SettingsKey::IPWhiteList,    SettingsKey::HamFolder,            SettingsKey::SpamFolder,
};

constexpr std::string_view kHostActionMark = "-action";

} // namespace

std::string_view KeyName(SettingsKey key)
{
    switch (key) {
    case SettingsKey::XScannerAction: return "XScannerAction";
    case SettingsKey::BayesianFilterAction: return "BayesianFilterAction";
    case SettingsKey::SystemSpamFolder: return "SystemSpamFolder";
    case SettingsKey::BounceReason: return "BounceReason";
    case SettingsKey::XBounceReason: return "XBounceReason";
    case SettingsKey::SpamSubject: return "SpamSubject";
    case SettingsKey::UserSpamFolder: return "UserSpamFolder";
    case SettingsKey::UndeterminedFolder: return "UndeterminedFolder";
    case SettingsKey::WhiteList: return "WhiteList";
    case SettingsKey::IPWhiteList: return "IPWhiteList";
    case SettingsKey::HamFolder: return "HamFolder";
    case SettingsKey::SpamFolder: return "SpamFolder";
    }
    return "";
}

std::string_view StripLineEnd(std::string_view text)
{
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return text;
}

std::string_view LineText(std::string_view raw)
{
    std::size_t nul = raw.find('\0');
    if (nul != std::string_view::npos)
        raw = raw.substr(0, nul);
    return StripLineEnd(raw);
}

SettingsLine ClassifySettingsLine(std::string_view line)
{
    SettingsLine out;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.front() == '#' || line.front() == ';')
        return out;
    out.value = line.substr(equals + 1);
    for (SettingsKey key : kKeysInOrder) {
        if (StartsWithNoCase(line, KeyName(key))) {
            out.kind = SettingsLine::Kind::Key;
            out.key = key;
            return out;
        }
    }
    std::size_t mark = line.find(kHostActionMark);
    if (mark != std::string_view::npos) {
        out.kind = SettingsLine::Kind::HostAction;
        out.hostName = line.substr(0, mark);
        return out;
    }
    out.value = {};
    return out;
}

} // namespace locmail::antispam
