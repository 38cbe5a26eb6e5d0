#include "antispam/CAntiSpamConfig.h"

#include "antispam/ActionWords.h"
#include "antispam/NoCase.h"
#include "antispam/WhiteList.h"
#include "suite/log/LogMessage.h"
#include "suite/platform/Files.h"
#include "suite/util/LineFile.h"

#include <cerrno>
#include <cstring>
#include <new>

using locmail::antispam::SettingsKey;
using locmail::antispam::SettingsLine;

namespace {

constexpr const char* kModule = "AntiSpam Config";
constexpr std::string_view kFileName = "antispam.cfg";

constexpr const char* kDefaultBounceReason = "Please stop sending spam message to me.";
constexpr const char* kDefaultSpamSubject = "***** SPAM MAIL REPORTED BY BAYESIAN FILTER *****";
constexpr const char* kDefaultSystemSpamFolder = "system-spam";
constexpr const char* kDefaultUserSpamFolder = "my-spam";
constexpr const char* kDefaultUndeterminedFolder = "undetermined";

const char* TextOr(const std::optional<std::string>& text, const char* fallback)
{
    return text ? text->c_str() : fallback;
}

const char* TextOrNull(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

// Replaces FIELD by a copy of VALUE; out of memory, the field is left unset.
void ReplaceText(std::optional<std::string>& field, std::string_view value)
{
    field.reset();
    try {
        field.emplace(value);
    } catch (const std::bad_alloc&) {
        field.reset();
    }
}

} // namespace

CAntiSpamConfig::CAntiSpamConfig(const char* homeDir)
{
    if (homeDir != nullptr) {
        try {
            std::string built;
            built.reserve(std::string_view(homeDir).size() + kFileName.size() + 2);
            built.append(homeDir).append(1, '/').append(kFileName);
            path = std::move(built);
        } catch (const std::bad_alloc&) {
            path.reset();
        }
    }
    LogMessage(5, kModule, "Loading antispam configuration file: %s", TextOr(path, "(null)"));
    (void)LoadConfigFile();
    LogMessage(5, kModule, "Done");
}

bool CAntiSpamConfig::LoadConfigFile()
{
    if (!path)
        return false;
    locmail::UniqueLineFile file(FileOpen(path->c_str(), GENERIC_READ, 1));
    if (!file) {
        // Most users have no file; one that is there but cannot be read (a FIFO
        // or a device is never waited on) is worth a line before the defaults apply.
        const int error = errno;
        if (error != ENOENT && locmail::FileExists(*path))
            LogMessage(2, kModule, "Unable to read %s: %s; using the default settings", path->c_str(),
                       std::strerror(error));
        return false;
    }
    std::string raw;
    std::size_t lineNumber = 0;
    int got;
    while ((got = GetLine(file.get(), raw)) == 1)
        ApplyLine(locmail::antispam::LineText(raw), ++lineNumber);
    // A read error or a line too long for memory ends the file like its end does.
    if (got < 0)
        LogMessage(2, kModule, "Unable to read %s after line %zu: %s", path->c_str(), lineNumber,
                   std::strerror(errno));
    (void)file.Close();
    return true;
}

void CAntiSpamConfig::ApplyLine(std::string_view line, std::size_t lineNumber)
{
    namespace as = locmail::antispam;
    SettingsLine parsed = as::ClassifySettingsLine(line);
    switch (parsed.kind) {
    case SettingsLine::Kind::Skipped:
        return;
    case SettingsLine::Kind::Key:
        if (parsed.key == SettingsKey::XScannerAction)
            ApplyAction(XScannerAction, as::XScannerActionOf(parsed.value), lineNumber);
        else if (parsed.key == SettingsKey::BayesianFilterAction)
            ApplyAction(BayesianFilterAction, as::BayesianActionOf(parsed.value), lineNumber);
        else
            // The line end was removed once already; a value like "x\r\r\n" loses both CRs.
            ReplaceText(*TextField(parsed.key), as::StripLineEnd(parsed.value));
        return;
    case SettingsLine::Kind::HostAction:
        if (std::optional<as::HostActionValue> host = as::ParseHostActionValue(parsed.value)) {
            (void)StoreHostAction(parsed.hostName, host->action, host->parameter);
        } else {
            // No defined action to give it: leave the host to the directory's and the user's setting.
            LogUnknownAction(lineNumber);
        }
        return;
    }
}

void CAntiSpamConfig::ApplyAction(int32_t& field, std::optional<int32_t> action, std::size_t lineNumber)
{
    if (action)
        field = *action;
    else
        LogUnknownAction(lineNumber);
}

void CAntiSpamConfig::LogUnknownAction(std::size_t lineNumber) const
{
    LogMessage(2, kModule, "Unknown action in line %zu of %s; line ignored", lineNumber, TextOr(path, "(null)"));
}

CAntiSpamConfig::Text* CAntiSpamConfig::TextField(SettingsKey key)
{
    switch (key) {
    case SettingsKey::XBounceReason: return &XBounceReason;
    case SettingsKey::BounceReason: return &BounceReason;
    case SettingsKey::SpamSubject: return &SpamSubject;
    case SettingsKey::SystemSpamFolder: return &SystemSpamFolder;
    case SettingsKey::UserSpamFolder: return &UserSpamFolder;
    case SettingsKey::UndeterminedFolder: return &UndeterminedFolder;
    case SettingsKey::SpamFolder: return &SpamFolder;
    case SettingsKey::HamFolder: return &HamFolder;
    case SettingsKey::WhiteList: return &WhiteList;
    case SettingsKey::IPWhiteList: return &IPWhiteList;
    case SettingsKey::XScannerAction:
    case SettingsKey::BayesianFilterAction:
        break;
    }
    return nullptr;
}

bool CAntiSpamConfig::SetHostAction(const char* name, int32_t action, const char* parameter)
{
    if (name == nullptr)
        return false;
    return StoreHostAction(name, action,
                           parameter ? std::optional<std::string_view>(parameter) : std::nullopt);
}

bool CAntiSpamConfig::StoreHostAction(std::string_view name, int32_t action,
                                      std::optional<std::string_view> parameter)
{
    try {
        std::string key = locmail::antispam::FoldCase(name);
        auto found = hostActions.find(key);
        if (found != hostActions.end()) {
            found->second.action = action;
            if (parameter)
                ReplaceText(found->second.parameter, *parameter);
            else
                found->second.parameter.reset();
            return true;
        }
        AntiSpamHostAction entry{std::string(name), action, std::nullopt};
        if (parameter)
            entry.parameter.emplace(*parameter);
        hostActions.emplace(std::move(key), std::move(entry));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

const AntiSpamHostAction* CAntiSpamConfig::FindHostAction(const char* name) const
{
    if (name == nullptr || hostActions.empty())
        return nullptr;
    try {
        auto found = hostActions.find(locmail::antispam::FoldCase(name));
        return found != hostActions.end() ? &found->second : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CAntiSpamConfig::HasHostAction(const char* name) const { return FindHostAction(name) != nullptr; }

int32_t CAntiSpamConfig::GetHostAction(const char* name) const
{
    const AntiSpamHostAction* host = FindHostAction(name);
    return host ? host->action : XScannerAction;
}

const char* CAntiSpamConfig::GetHostFolder(const char* name) const
{
    const AntiSpamHostAction* host = FindHostAction(name);
    if (host && host->action == locmail::antispam::kXScannerFile)
        return TextOrNull(host->parameter);
    return GetSystemSpamFolder();
}

const char* CAntiSpamConfig::GetHostBounceReason(const char* name) const
{
    const AntiSpamHostAction* host = FindHostAction(name);
    if (host && host->action == locmail::antispam::kXScannerBounce)
        return TextOrNull(host->parameter);
    return GetXBounceReason();
}

const char* CAntiSpamConfig::GetXBounceReason() const { return TextOr(XBounceReason, kDefaultBounceReason); }
const char* CAntiSpamConfig::GetBounceReason() const { return TextOr(BounceReason, kDefaultBounceReason); }
const char* CAntiSpamConfig::GetSpamSubject() const { return TextOr(SpamSubject, kDefaultSpamSubject); }
const char* CAntiSpamConfig::GetSystemSpamFolder() const { return TextOr(SystemSpamFolder, kDefaultSystemSpamFolder); }
const char* CAntiSpamConfig::GetUserSpamFolder() const { return TextOr(UserSpamFolder, kDefaultUserSpamFolder); }
const char* CAntiSpamConfig::GetUndeterminedFolder() const
{
    return TextOr(UndeterminedFolder, kDefaultUndeterminedFolder);
}

bool CAntiSpamConfig::IsWhiteListed(const char* address) const
{
    return locmail::antispam::AddressListMatches(TextOrNull(WhiteList), address);
}

bool CAntiSpamConfig::IsIPWhiteListed(const char* address) const
{
    return locmail::antispam::IPListContains(TextOrNull(IPWhiteList), address);
}
