// The keys of the configuration file qxmta.ini, each with its one default.
//
// Every reader takes a key's section, name and default from this table, so a
// key cannot mean two things in two places; `locmail init` writes the numeric
// defaults from it, and docs/queue-format.md gives the queue's keys the same.
// ReadText and ReadNumber read a key as GetPrivateProfileStringA and
// GetPrivateProfileIntA do (Profile.h): the default when the file, section or
// key is missing; an empty value is a value. ReadText keeps up to
// kTextValueMax characters; a reader that must notice a longer value calls the
// profile function itself with the key's fields.
// Failure modes: none; nothing throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>

namespace locmail::config {

inline constexpr const char* kConfigFile = "qxmta.ini";
inline constexpr std::size_t kTextValueMax = 4095;

struct TextKey {
    const char* section;
    const char* name;
    const char* fallback;
};

struct NumberKey {
    const char* section;
    const char* name;
    int fallback;
};

inline constexpr TextKey kQueueDirectory{"Gateway", "QueueDirectory", "/var/spool/locmail"};
inline constexpr TextKey kStoreHome{"MsgStore", "HomeDir", ""}; // no store until one is configured
inline constexpr TextKey kLogDirectory{"Log", "Directory", "/var/log/locmail"};
inline constexpr NumberKey kLogLevel{"Log", "Level", 6};
inline constexpr TextKey kLogSyslog{"Log", "Syslog", "NO"};     // YES: to syslog's mail facility, not Directory
inline constexpr TextKey kHostName{"Gateway", "HostName", ""};  // empty: the machine's name (gethostname)
inline constexpr TextKey kPostmaster{"Mail", "Postmaster", ""}; // empty: postmaster@ + the host name
// Returned mail carries the original whole up to this size, else its header only.
inline constexpr NumberKey kReturnedMessageMaxBytes{"Mail", "ReturnedMessageMaxBytes", 50000};
inline constexpr TextKey kInvalidLocalUser{"Options", "MailForInvalidLocalUser", "Bounce"};
inline constexpr NumberKey kRetryMinSeconds{"Queue", "RetryMinSeconds", 60};
inline constexpr NumberKey kRetryMaxSeconds{"Queue", "RetryMaxSeconds", 3600};
inline constexpr NumberKey kMaxLifetimeSeconds{"Queue", "MaxLifetimeSeconds", 432000};
inline constexpr NumberKey kHoldAfterCrashes{"Queue", "HoldAfterCrashes", 3};
inline constexpr NumberKey kMessageTimeoutSeconds{"Queue", "MessageTimeoutSeconds", 600};

// Handing mail that leaves the machine (returned mail, notices) to the system's MTA.
inline constexpr TextKey kRelayCommand{"Relay", "Command", "/usr/sbin/sendmail"};
inline constexpr NumberKey kRelayTimeOutSeconds{"Relay", "TimeOutSeconds", 300};

// `locmail lmtp`: its Unix socket (empty: lmtp.sock in the queue directory),
// sessions at once, seconds a client may be silent, and the largest message.
inline constexpr TextKey kLmtpSocket{"Lmtp", "Socket", ""};
inline constexpr NumberKey kLmtpMaxSessions{"Lmtp", "MaxSessions", 100};
inline constexpr NumberKey kLmtpTimeoutSeconds{"Lmtp", "TimeoutSeconds", 300};
inline constexpr NumberKey kLmtpMaxMessageBytes{"Lmtp", "MaxMessageBytes", 35 * 1024 * 1024};

// The Bayesian filter (docs/bayesian-filter.md); its texts are read into
// buffers of 1024 bytes.
inline constexpr const char* kBayesianSection = "BayesianFilter";
inline constexpr TextKey kBayesType{kBayesianSection, "Type", ""}; // EXE, DLL, anything else: none
inline constexpr TextKey kBayesEnable{kBayesianSection, "Enable", "NO"};
inline constexpr TextKey kBayesCommandLine{kBayesianSection, "CommandLine", ""};
inline constexpr TextKey kBayesReturnCodeForHam{kBayesianSection, "ReturnCodeForHam", ""};
inline constexpr TextKey kBayesReturnCodeForSpam{kBayesianSection, "ReturnCodeForSpam", ""};
inline constexpr TextKey kBayesReturnCodeForUndetermined{kBayesianSection, "ReturnCodeForUndetermined", ""};
inline constexpr TextKey kBayesReturnCodeForError{kBayesianSection, "ReturnCodeForError", ""};
inline constexpr NumberKey kBayesProgramTimeOut{kBayesianSection, "ProgramTimeOut", 60}; // seconds
inline constexpr TextKey kBayesDllLocation{kBayesianSection, "DllLocation", ""};
inline constexpr TextKey kBayesFunctionName{kBayesianSection, "FunctionName", ""};
inline constexpr NumberKey kBayesTimeOut{kBayesianSection, "TimeOut", 15}; // minutes
inline constexpr TextKey kBayesAddHamCommand{kBayesianSection, "AddHamMessageCommand", ""};
inline constexpr TextKey kBayesAddSpamCommand{kBayesianSection, "AddSpamMessageCommand", ""};
inline constexpr TextKey kBayesRemoveHamCommand{kBayesianSection, "RemoveHamMessageCommand", ""};
inline constexpr TextKey kBayesRemoveSpamCommand{kBayesianSection, "RemoveSpamMessageCommand", ""};
inline constexpr TextKey kBayesTrainedSpamAction{kBayesianSection, "ActionOnTrainedSpamMessage", "Delete"};
inline constexpr TextKey kBayesTrainedHamAction{kBayesianSection, "ActionOnTrainedHamMessage", "Move"};

// The directory (docs/man/locmail.ini.5): a server at HostName:Port (an empty
// or zero port is 389), or, when LdifFile is set, that LDIF file instead.
inline constexpr const char* kLdapSection = "Ldap";
inline constexpr TextKey kLdapHostName{kLdapSection, "HostName", ""};
inline constexpr TextKey kLdapPort{kLdapSection, "Port", ""};
inline constexpr TextKey kLdapUsername{kLdapSection, "Username", ""};
inline constexpr TextKey kLdapPassword{kLdapSection, "Password", ""};
inline constexpr TextKey kLdapLdifFile{kLdapSection, "LdifFile", ""};
inline constexpr NumberKey kLdapTimeOutSeconds{kLdapSection, "TimeOutSeconds", 5}; // per connect or operation

// The X Scanner: minutes between loads of the RBL host settings, and the
// SpamAssassin plug-in's action per channel ("Action-local", else
// "Action-global").
inline constexpr NumberKey kXScannerReloadInterval{"XScanner", "ReloadInterval", 15};
inline constexpr const char* kSpamAssassinSection = "SpamAssassin";
inline constexpr TextKey kSpamAssassinActionLocal{kSpamAssassinSection, "Action-local", ""};
inline constexpr TextKey kSpamAssassinActionGlobal{kSpamAssassinSection, "Action-global", ""};

std::string ReadText(const TextKey& key, const char* file = kConfigFile);
unsigned ReadNumber(const NumberKey& key, const char* file = kConfigFile);

} // namespace locmail::config
