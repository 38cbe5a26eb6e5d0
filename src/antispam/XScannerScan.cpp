// Scanning one message's header for the pre-processor's and the SpamAssassin
// plug-in's marks, and acting on them.
#include "antispam/CXScanner.h"

#include "antispam/ActionWords.h"
#include "antispam/CAntiSpamConfig.h"
#include "antispam/NoCase.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Profile.h"
#include "suite/util/LineFile.h"

#include <optional>

namespace {

namespace as = locmail::antispam;

constexpr std::string_view kSpamStatus = "X-Spam-Status: YES";
constexpr std::string_view kVexbl = "X-vexbl: ";
constexpr std::string_view kSubject = "Subject:";
constexpr std::string_view kChangeSubject = "ChangeSubject";
constexpr std::size_t kActionSize = 1024;

void DropLineEnd(std::string& text)
{
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
}

} // namespace

// The text after the first comma of "ChangeSubject,MARKER" ("Action-local",
// else "Action-global"), blanks included; none without "ChangeSubject" and a comma.
std::optional<std::string> CXScanner::SubjectMarker() const
{
    char value[kActionSize] = {};
    const std::string key = "Action-" + m_channel;
    GetPrivateProfileStringA(locmail::config::kSpamAssassinSection, key.c_str(), "", value, sizeof value,
                             locmail::config::kConfigFile);
    if (value[0] == '\0') {
        const auto& global = locmail::config::kSpamAssassinActionGlobal;
        GetPrivateProfileStringA(global.section, global.name, global.fallback, value, sizeof value,
                                 locmail::config::kConfigFile);
    }
    const std::string_view text(value);
    const std::size_t comma = text.find(',');
    if (!as::StartsWithNoCase(text, kChangeSubject) || comma == std::string_view::npos)
        return std::nullopt;
    return std::string(text.substr(comma + 1));
}

bool CXScanner::ReadMarks(const char* messagePath, HeaderMarks& marks) const
{
    const std::optional<std::string> marker = SubjectMarker();
    locmail::UniqueLineFile file(FileOpen(messagePath, GENERIC_READ, 1));
    if (!file)
        return false;
    std::string line;
    while (GetLine(file.get(), line) == 1) {
        const std::string_view text(line);
        if (as::StartsWithNoCase(text, kSpamStatus)) {
            marks.spam = true;
        }
        else if (as::StartsWithNoCase(text, kVexbl)) {
            marks.hasVexbl = true;
            marks.vexbl.assign(text.substr(kVexbl.size()));
        }
        if (marker && as::StartsWithNoCase(text, kSubject) &&
            text.substr(kSubject.size()).find(*marker) != std::string_view::npos)
            marks.spam = true;
        if (text == "\r\n")
            break;
    }
    return true;
}

int CXScanner::Scan(const char* sender, const char* homeDir, const char* messagePath)
{
    if (m_antiSpamConfig == nullptr)
        return kXNoSettings;
    const CAntiSpamConfig& settings = *m_antiSpamConfig;
    if (settings.IsWhiteListed(sender))
        return kXWhiteListed;
    HeaderMarks marks;
    if (!ReadMarks(messagePath, marks))
        return kXError;
    if (!marks.spam && !marks.hasVexbl)
        return kXNoMark;

    int32_t action = settings.GetXScannerAction();
    if (marks.spam)
        XLog(5, "%s was marked as spam message by SpamAssassin plugin", messagePath);
    const char* folder = action == as::kXScannerFile ? settings.GetSystemSpamFolder() : nullptr;
    const char* reason = action == as::kXScannerBounce ? settings.GetXBounceReason() : nullptr;
    if (marks.hasVexbl) {
        DropLineEnd(marks.vexbl);
        XLog(5, "Detected x-vexbl header (%.*s) in message file %s", kShownFieldMax, marks.vexbl.c_str(), messagePath);
        const std::size_t slash = marks.vexbl.find('/');
        if (slash != std::string::npos) {
            if (settings.IsIPWhiteListed(marks.vexbl.c_str() + slash + 1))
                return kXIPWhiteListed;
            marks.vexbl.resize(slash);
            DecideByHosts(marks.vexbl, action, folder, reason);
        }
    }
    return Act(action, sender, homeDir, messagePath, folder, reason);
}

// Each host named before the "/" decides in turn, so the last one wins, with
// the folder or reason its own decision set.
void CXScanner::DecideByHosts(const std::string& hosts, int32_t& action, const char*& folder, const char*& reason) const
{
    const CAntiSpamConfig& settings = *m_antiSpamConfig;
    std::string_view rest(hosts);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string name(rest.substr(0, comma));
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        if (name.empty())
            continue;
        action = GetRblAction(name.c_str());
        if (action == as::kXScannerFile)
            folder = settings.GetSystemSpamFolder();
        else if (action == as::kXScannerBounce)
            reason = settings.GetXBounceReason();
        if (settings.HasHostAction(name.c_str())) {
            action = settings.GetHostAction(name.c_str());
            if (action == as::kXScannerFile)
                folder = settings.GetHostFolder(name.c_str());
            else if (action == as::kXScannerBounce)
                reason = settings.GetHostBounceReason(name.c_str());
        }
    }
}

int CXScanner::Act(int32_t action, const char* sender, const char* homeDir, const char* messagePath, const char* folder,
                   const char* reason)
{
    switch (action) {
    case as::kXScannerDiscard: return kXDiscarded;
    case as::kXScannerFile:
        if (homeDir == nullptr || homeDir[0] == '\0')
            return kXError;
        return FileMessage(homeDir, messagePath, folder) ? kXFiled : kXError;
    case as::kXScannerBounce: return BounceToSender(sender, messagePath, reason) ? kXBounced : kXError;
    default: return kXIgnored;
    }
}
