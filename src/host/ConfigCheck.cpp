#include "host/ConfigCheck.h"

#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/platform/Printable.h"
#include "suite/platform/ProfileData.h"
#include "suite/util/MailboxSyntax.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

namespace locmail::host {
namespace {

enum class Kind { AbsolutePath, Count, Choice, Mailbox, Text };

struct KnownKey {
    const char* section;
    const char* name;
    Kind kind;
    const char* choices = ""; // for Choice: the words, separated by '|'; "" among them allows an empty value
};

template <typename Key> constexpr KnownKey Known(const Key& key, Kind kind, const char* choices = "")
{
    return KnownKey{key.section, key.name, kind, choices};
}

// Every key this system reads from the configuration file.
const KnownKey kKnownKeys[] = {
    Known(config::kQueueDirectory, Kind::AbsolutePath),
    Known(config::kStoreHome, Kind::AbsolutePath),
    Known(config::kLogDirectory, Kind::AbsolutePath),
    Known(config::kLogLevel, Kind::Count),
    Known(config::kLogSyslog, Kind::Choice, "YES|NO"),
    Known(config::kHostName, Kind::Text),
    Known(config::kPostmaster, Kind::Mailbox),
    Known(config::kReturnedMessageMaxBytes, Kind::Count),
    Known(config::kInvalidLocalUser, Kind::Choice, "Bounce|Postmaster|Delete"),
    Known(config::kRetryMinSeconds, Kind::Count),
    Known(config::kRetryMaxSeconds, Kind::Count),
    Known(config::kMaxLifetimeSeconds, Kind::Count),
    Known(config::kHoldAfterCrashes, Kind::Count),
    Known(config::kMessageTimeoutSeconds, Kind::Count),
    Known(config::kRelayCommand, Kind::AbsolutePath),
    Known(config::kRelayTimeOutSeconds, Kind::Count),
    Known(config::kLmtpSocket, Kind::AbsolutePath),
    Known(config::kLmtpMaxSessions, Kind::Count),
    Known(config::kLmtpTimeoutSeconds, Kind::Count),
    Known(config::kLmtpMaxMessageBytes, Kind::Count),
    Known(config::kBayesType, Kind::Choice, "EXE|DLL|"),
    Known(config::kBayesEnable, Kind::Choice, "YES|NO"),
    Known(config::kBayesCommandLine, Kind::Text),
    Known(config::kBayesReturnCodeForHam, Kind::Text),
    Known(config::kBayesReturnCodeForSpam, Kind::Text),
    Known(config::kBayesReturnCodeForUndetermined, Kind::Text),
    Known(config::kBayesReturnCodeForError, Kind::Text),
    Known(config::kBayesProgramTimeOut, Kind::Count),
    Known(config::kBayesDllLocation, Kind::Text),
    Known(config::kBayesFunctionName, Kind::Text),
    Known(config::kBayesTimeOut, Kind::Count),
    Known(config::kBayesAddHamCommand, Kind::Text),
    Known(config::kBayesAddSpamCommand, Kind::Text),
    Known(config::kBayesRemoveHamCommand, Kind::Text),
    Known(config::kBayesRemoveSpamCommand, Kind::Text),
    Known(config::kBayesTrainedSpamAction, Kind::Choice, "Move|Delete"),
    Known(config::kBayesTrainedHamAction, Kind::Choice, "Move|Delete"),
    Known(config::kLdapHostName, Kind::Text),
    Known(config::kLdapPort, Kind::Text),
    Known(config::kLdapUsername, Kind::Text),
    Known(config::kLdapPassword, Kind::Text),
    Known(config::kLdapLdifFile, Kind::Text),
    Known(config::kLdapTimeOutSeconds, Kind::Count),
    Known(config::kXScannerReloadInterval, Kind::Count),
    Known(config::kSpamAssassinActionLocal, Kind::Text),
    Known(config::kSpamAssassinActionGlobal, Kind::Text),
};

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool IsCount(std::string_view value)
{
    if (value.empty() || value.size() > 10)
        return false;
    unsigned long long n = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n <= static_cast<unsigned long long>(std::numeric_limits<int>::max());
}

bool IsOneOf(std::string_view value, std::string_view choices)
{
    for (std::size_t start = 0;;) {
        const std::size_t bar = choices.find('|', start);
        if (SameName(value, choices.substr(start, bar - start)))
            return true;
        if (bar == std::string_view::npos)
            return false;
        start = bar + 1;
    }
}

std::string Allowed(const KnownKey& key)
{
    switch (key.kind) {
    case Kind::AbsolutePath: return "an absolute path";
    case Kind::Count: return "a whole number from 0 to 2147483647";
    case Kind::Mailbox: return "a mailbox such as postmaster@example.org, or nothing";
    case Kind::Text: return "any text";
    case Kind::Choice: break;
    }
    std::string words;
    for (std::string_view rest = key.choices; !rest.empty();) {
        const std::size_t bar = rest.find('|');
        const std::string_view word = rest.substr(0, bar);
        words += words.empty() ? "" : ", ";
        words += word.empty() ? "nothing" : std::string(word);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    return "one of " + words;
}

bool Fits(const KnownKey& key, std::string_view value)
{
    switch (key.kind) {
    case Kind::AbsolutePath: return IsAbsoluteBelowRoot(std::string(value));
    case Kind::Count: return IsCount(value);
    case Kind::Choice: return IsOneOf(value, key.choices);
    case Kind::Mailbox: return value.empty() || util::MailboxProblem(value).empty();
    case Kind::Text: return true;
    }
    return false;
}

const KnownKey* FindKnown(std::string_view section, std::string_view name)
{
    for (const KnownKey& key : kKnownKeys) {
        if (SameName(section, key.section) && (name.empty() || SameName(name, key.name)))
            return &key;
    }
    return nullptr;
}

} // namespace

ConfigReport CheckConfigFile(const std::string& path)
{
    ConfigReport report;
    std::string text;
    if (!ReadWholeFile(path, text)) {
        report.errors.push_back("cannot read " + path + ": " +
                                (errno == EINVAL ? "not a regular file" : std::strerror(errno)));
        return report;
    }
    const ProfileData data(std::move(text));
    // A section named twice continues the first one: its keys are told in file order at the end.
    std::vector<std::pair<std::size_t, std::string>> warnings;
    std::vector<std::pair<std::size_t, std::string>> errors;
    for (std::string_view section : data.SectionNames()) {
        const std::size_t sectionLine = data.LineOf(section);
        if (FindKnown(section, {}) == nullptr) {
            warnings.emplace_back(sectionLine, path + ":" + std::to_string(sectionLine) + ": section [" +
                                                   PrintableText(section) + "] is not one locmail reads");
            continue;
        }
        for (std::string_view name : data.KeyNames(section)) {
            const std::size_t line = data.LineOf(section, name);
            const std::string where =
                path + ":" + std::to_string(line) + ": [" + std::string(section) + "] " + PrintableText(name);
            const KnownKey* key = FindKnown(section, name);
            if (key == nullptr)
                warnings.emplace_back(line, where + " is not a key locmail reads");
            else if (const std::string_view value = *data.Find(section, name); !Fits(*key, value))
                errors.emplace_back(line, where + "=" + PrintableText(value) + ": not " + Allowed(*key));
        }
    }
    const auto given = [&](const auto& key) {
        const auto value = data.Find(key.section, key.name);
        return value && !value->empty();
    };
    if (!given(config::kLdapHostName) && !given(config::kLdapLdifFile))
        warnings.emplace_back(0, path + ": [Ldap] names no directory (neither HostName nor LdifFile): every user "
                                        "delivery will log \"Unable to connect to LDAP server\"");
    for (auto* told : {&warnings, &errors}) {
        std::sort(told->begin(), told->end());
        for (auto& [line, text] : *told)
            (told == &warnings ? report.warnings : report.errors).push_back(std::move(text));
    }
    return report;
}

} // namespace locmail::host
