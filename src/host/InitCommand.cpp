// locmail init DIR: a working installation in DIR (configuration, directory,
// queue, message store with its templates and users directory, log).
// Running it again keeps the configuration file and makes whatever is missing.
// With --owner USER (root only, unless USER is the caller) everything it made or
// kept is given to USER, who the commands then act as (InstallationOwner.h).
#include "host/Commands.h"
#include "host/ConfigText.h"
#include "host/InstallationOwner.h"
#include "host/Settings.h"
#include "suite/mq/QueueLayout.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/Files.h"
#include "suite/vexclass/HostName.h"

#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace locmail::host {
namespace {

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

// The configured queue, store and log, made where they are missing.
int MakeParts(const Settings& settings)
{
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
    return EX_OK;
}

// The user named by --owner, who only root may make an installation for.
int CheckNewOwner(const std::string& name, std::optional<Owner>& owner)
{
    owner = FindUser(name);
    if (!owner) {
        Complain("there is no user '" + name + "' on this system; create it first (useradd --system " + name + ")");
        return EX_NOUSER;
    }
    if (::geteuid() != 0 && owner->uid != ::geteuid()) {
        Complain("only root can make an installation for " + name);
        return EX_NOPERM;
    }
    return EX_OK;
}

// DIR and all below it given to OWNER. A part the configuration puts outside
// DIR is left alone: walking a folder that may be shared (/var/log, say) and
// giving it away would be worse than asking the operator to do it.
int HandOver(const std::string& dir, const Settings& settings, const Owner& owner)
{
    if (!OwnTree(dir, owner))
        return EX_CANTCREAT;
    int status = EX_OK;
    for (const auto& [key, path] : {std::pair{"[Gateway] QueueDirectory", settings.queueDir},
                                    std::pair{"[MsgStore] HomeDir", settings.storeHome},
                                    std::pair{"[Log] Directory", settings.logDir}}) {
        if (!path.empty() && !path.starts_with(dir + "/")) {
            Complain(std::string(key) + " " + path + " lies outside " + dir + "; give it to " + owner.name +
                     " yourself (chown -R " + owner.name + ": " + path + ")");
            status = EX_CONFIG;
        }
    }
    return status;
}

} // namespace

int RunInit(const InitOptions& options)
{
    std::error_code ec;
    std::string dir = std::filesystem::absolute(options.dir, ec).lexically_normal().string();
    if (ec || dir.empty()) {
        Complain("cannot resolve " + options.dir);
        return EX_USAGE;
    }
    if (!dir.empty() && dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    std::optional<Owner> owner;
    if (!options.owner.empty()) {
        if (int status = CheckNewOwner(options.owner, owner); status != EX_OK)
            return status;
    }
    std::string config = PathJoin(dir, "qxmta.ini");
    // Without --owner, an installation made before keeps its owner for what is added now.
    if (!owner && FileExists(config)) {
        if (int status = ActAsInstallationOwner(ReadSettings(config)); status != EX_OK)
            return status;
    }
    if (!MakeTree(dir))
        return EX_CANTCREAT;

    if (FileExists(config)) {
        std::cout << "keeping " << config << '\n';
    } else if (!WriteFileAtomic(config, ConfigText(dir, "postmaster@" + LocalHostName()))) {
        Complain("cannot write " + config + ": " + std::strerror(errno));
        return EX_CANTCREAT;
    }

    const std::string directory = PathJoin(dir, kDirectoryFile);
    if (!FileExists(directory) && !WriteFileAtomic(directory, DirectoryText())) {
        Complain("cannot write " + directory + ": " + std::strerror(errno));
        return EX_CANTCREAT;
    }

    // The directories are the configured ones, so a kept file is honoured, but
    // never one that would put a queue or store at / or below the current folder.
    Settings settings;
    if (int status = LoadSettings(settings, config); status != EX_OK)
        return status;
    for (const auto& [key, dir] : {std::pair{"[Gateway] QueueDirectory", settings.queueDir},
                                   std::pair{"[MsgStore] HomeDir", settings.storeHome}}) {
        if (!IsAbsoluteBelowRoot(dir)) {
            Complain(std::string(key) + " '" + dir + "' in " + config + " must be an absolute path below /");
            return EX_CONFIG;
        }
    }
    if (int status = MakeParts(settings); status != EX_OK)
        return status;
    if (owner && owner->uid != ::geteuid()) {
        if (int status = HandOver(dir, settings, *owner); status != EX_OK)
            return status;
    }

    std::cout << "installation ready in " << dir << (owner ? ", owned by " + owner->name : std::string()) << "\n"
              << "use it with: export LOCMAIL_CONFIG=" << config << '\n';
    return EX_OK;
}

} // namespace locmail::host
