// locmail init DIR: a working installation in DIR (configuration, queue, message
// store with its templates and users directory, log).
// Running it again keeps the configuration file and makes whatever is missing.
#include "host/Commands.h"
#include "host/Settings.h"
#include "suite/mq/QueueLayout.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/vexclass/HostName.h"

#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace locmail::host {
namespace {

// KEY = its default, from the one table of keys.
std::string DefaultLine(const config::NumberKey& key)
{
    return std::string(key.name) + "=" + std::to_string(key.fallback) + "\n";
}

std::string ConfigText(const std::string& dir)
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
           "\n[Mail]\n"
           "Postmaster=postmaster@" + LocalHostName() + "\n"
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
           "; minutes a delivery waits for the home's bayesian.lock while a learner runs\n"
           "TimeOut=15\n"
           "; seconds the program may take for one message before it is killed\n"
           "ProgramTimeOut=60\n"
           "AddSpamMessageCommand=| bogofilter -d %B -s\n"
           "AddHamMessageCommand=| bogofilter -d %B -n\n"
           "RemoveSpamMessageCommand=| bogofilter -d %B -S\n"
           "RemoveHamMessageCommand=| bogofilter -d %B -N\n"
           "; for a learning side that moves trained messages (Move) or leaves them\n"
           "; (Delete); `locmail learn` trains and leaves the messages where they are\n"
           "ActionOnTrainedSpamMessage=Delete\n"
           "ActionOnTrainedHamMessage=Move\n";
}

bool MakeTree(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) {
        Complain("cannot create " + path + ": " + ec.message());
        return false;
    }
    return true;
}

} // namespace

int RunInit(const std::string& dirArg)
{
    std::error_code ec;
    std::string dir = std::filesystem::absolute(dirArg, ec).lexically_normal().string();
    if (ec || dir.empty()) {
        Complain("cannot resolve " + dirArg);
        return EX_USAGE;
    }
    if (!dir.empty() && dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (!MakeTree(dir))
        return EX_CANTCREAT;

    std::string config = PathJoin(dir, "qxmta.ini");
    if (FileExists(config)) {
        std::cout << "keeping " << config << '\n';
    } else if (!WriteFileAtomic(config, ConfigText(dir))) {
        Complain("cannot write " + config + ": " + std::strerror(errno));
        return EX_CANTCREAT;
    }

    // The directories are the configured ones, so a kept file is honoured, but
    // never one that would put a queue or store at / or below the current folder.
    Settings settings = ReadSettings(config);
    for (const auto& [key, dir] : {std::pair{"[Gateway] QueueDirectory", settings.queueDir},
                                   std::pair{"[MsgStore] HomeDir", settings.storeHome}}) {
        if (!IsAbsoluteBelowRoot(dir)) {
            Complain(std::string(key) + " '" + dir + "' in " + config + " must be an absolute path below /");
            return EX_CONFIG;
        }
    }
    if (!MakeTree(settings.logDir))
        return EX_CANTCREAT;
    std::string why;
    if (!mq::CreateQueueDirectory(settings.queueDir, &why)) {
        Complain("cannot create the queue in " + settings.queueDir + ": " + why);
        return EX_CANTCREAT;
    }
    if (!settings.storeHome.empty() && !MakeTree(settings.storeHome))
        return EX_CANTCREAT;
    if (!msgstore::PrepareStoreHome(settings.storeHome, why)) {
        Complain("cannot prepare the message store: " + why);
        return EX_CANTCREAT;
    }

    std::cout << "installation ready in " << dir << "\n"
              << "use it with: export LOCMAIL_CONFIG=" << config << '\n';
    return EX_OK;
}

} // namespace locmail::host
