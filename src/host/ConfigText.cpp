// What `locmail init` writes into qxmta.ini: every key an operator is likely to
// change, with its default and a word on what it does.
#include "host/ConfigText.h"

#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"

namespace locmail::host {
namespace {

// KEY = its default, from the one table of keys.
std::string DefaultLine(const config::NumberKey& key)
{
    return std::string(key.name) + "=" + std::to_string(key.fallback) + "\n";
}

} // namespace

// One line of the text per line of code, so the layout is kept by hand.
// clang-format off
std::string ConfigText(const std::string& dir, const std::string& postmaster)
{
    return "; locmail configuration, written by `locmail init`.\n"
           "[Gateway]\n"
           "QueueDirectory=" + PathJoin(dir, "queue") + "\n"
           "\n[MsgStore]\n"
           "HomeDir=" + PathJoin(dir, "store") + "\n"
           "\n[Log]\n"
           "Directory=" + PathJoin(dir, "log") + "\n"
           "; 1 errors, 2 warnings, 5 progress, 6 outcomes\n" +
           DefaultLine(config::kLogLevel) +
           "; YES: the lines go to syslog's mail facility instead of Directory\n"
           "Syslog=" + config::kLogSyslog.fallback + "\n"
           "\n[Mail]\n"
           "Postmaster=" + postmaster + "\n"
           "\n[Options]\n"
           "; Bounce, Postmaster or Delete\n"
           "MailForInvalidLocalUser=" + config::kInvalidLocalUser.fallback + "\n"
           "\n[Queue]\n"
           "; a recipient whose mailbox cannot take mail now is tried again after\n"
           "; RetryMinSeconds, then twice as long each time up to RetryMaxSeconds,\n"
           "; and returned to its sender once the message is MaxLifetimeSeconds old\n" +
           DefaultLine(config::kRetryMinSeconds) + DefaultLine(config::kRetryMaxSeconds) +
           DefaultLine(config::kMaxLifetimeSeconds) +
           "; a message whose delivery stopped the process (crash, kill, hang) this\n"
           "; many times is held (`locmail queue ls`, `locmail queue release ID`); 0 never\n" +
           DefaultLine(config::kHoldAfterCrashes) +
           "; `locmail run` ends itself when one message takes longer than this, so\n"
           "; that the hang counts against it and its supervisor starts it again; 0 never\n" +
           DefaultLine(config::kMessageTimeoutSeconds) +
           "\n[Relay]\n"
           "; `locmail relay` hands returned mail to this program of the MTA, as\n"
           "; PROGRAM -i -f SENDER -- RECIPIENT..., killed after TimeOutSeconds\n"
           "Command=" + config::kRelayCommand.fallback + "\n" +
           DefaultLine(config::kRelayTimeOutSeconds) +
           "\n[Lmtp]\n"
           "; `locmail lmtp` listens on this socket (mode 0660: give the MTA's LMTP\n"
           "; client the installation's group), serves MaxSessions clients at once,\n"
           "; drops one silent for TimeoutSeconds and refuses larger messages\n"
           "Socket=" + PathJoin(dir, "lmtp.sock") + "\n" +
           DefaultLine(config::kLmtpMaxSessions) + DefaultLine(config::kLmtpTimeoutSeconds) +
           DefaultLine(config::kLmtpMaxMessageBytes) +
           "\n[BayesianFilter]\n"
           "; spam filtering with bogofilter, its word lists in each home's .bayesian\n"
           "; folder: set Enable=YES, train with `locmail learn`, and let each user\n"
           "; choose an action with BayesianFilterAction in the home's antispam.cfg\n"
           "Type=EXE\n"
           "Enable=NO\n"
           "; %F sender, %R recipient, %B the user's data folder, %M message file,\n"
           "; %O output file; a leading | gives the program the message on its input\n"
           "CommandLine=| bogofilter -d %B\n"
           "ReturnCodeForSpam=0\n"
           "ReturnCodeForHam=1\n"
           "ReturnCodeForUndetermined=2\n"
           "ReturnCodeForError=3\n"
           "; minutes a delivery waits for the home's bayesian.lock while a learner runs\n" +
           DefaultLine(config::kBayesTimeOut) +
           "; seconds the program may take for one message before it is killed\n" +
           DefaultLine(config::kBayesProgramTimeOut) +
           "AddSpamMessageCommand=| bogofilter -d %B -s\n"
           "AddHamMessageCommand=| bogofilter -d %B -n\n"
           "RemoveSpamMessageCommand=| bogofilter -d %B -S\n"
           "RemoveHamMessageCommand=| bogofilter -d %B -N\n"
           "; what `locmail learn` does with a message it trained: Move takes spam to\n"
           "; the user's spam folder and ham to the inbox; Delete leaves it in place\n"
           "ActionOnTrainedSpamMessage=" + config::kBayesTrainedSpamAction.fallback + "\n"
           "ActionOnTrainedHamMessage=" + config::kBayesTrainedHamAction.fallback + "\n"
           "\n[Ldap]\n"
           "; the directory: this LDIF file; or, with LdifFile empty, the LDAP server\n"
           "; at HostName:Port (389 when empty), bound as Username with Password\n"
           "LdifFile=" + PathJoin(dir, kDirectoryFile) + "\n"
           "HostName=\nPort=\nUsername=\nPassword=\n" +
           DefaultLine(config::kLdapTimeOutSeconds) +
           "\n[XScanner]\n"
           "; minutes between loads of the RBL host settings from the directory\n" +
           DefaultLine(config::kXScannerReloadInterval) +
           "\n[SpamAssassin]\n"
           "; ChangeSubject,MARKER: a Subject containing MARKER counts as a spam mark\n"
           "Action-global=\n";
}

std::string DirectoryText()
{
    return "# The directory of this locmail installation ([Ldap] LdifFile of qxmta.ini).\n"
           "dn: o=locmail\n"
           "objectClass: organization\n"
           "o: locmail\n"
           "\n"
           "# The X Scanner's settings for the RBL hosts that the pre-processor names in\n"
           "# a message's X-vexbl: field, one value each: HOST,MODE,DEFAULT[,CHANNEL:ACTION]\n"
           "# with DEFAULT d(iscard) or i(gnore), ACTION i, d, f(ile) or b(ounce) for the\n"
           "# channel \"local\". A host named in no value counts as discard. Example:\n"
           "# x-vexblaction: rbl.example.net,P,i,local:f\n"
           "dn: cn=PreProcessor,o=locmail\n"
           "objectClass: qxconfig\n"
           "cn: PreProcessor\n";
}
// clang-format on

} // namespace locmail::host
