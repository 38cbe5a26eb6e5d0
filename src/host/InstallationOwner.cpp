#include "host/InstallationOwner.h"

#include "suite/platform/Files.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace locmail::host {
namespace {

// The password entry of NAME (or of UID when NAME is null), copied out.
std::optional<Owner> LookUp(const char* name, uid_t uid)
{
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    int error;
    while ((error = name ? ::getpwnam_r(name, &entry, buffer.data(), buffer.size(), &found)
                         : ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (error != 0 || found == nullptr)
        return std::nullopt;
    return Owner{entry.pw_uid, entry.pw_gid, entry.pw_name};
}

std::optional<Owner> OwnerOf(const std::string& path)
{
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    if (auto user = LookUp(nullptr, st.st_uid))
        return user;
    // A user the system no longer names keeps the files' own group and no others.
    return Owner{st.st_uid, st.st_gid, std::to_string(st.st_uid), false};
}

bool BecomeUser(const Owner& owner)
{
    if ((owner.named ? ::initgroups(owner.name.c_str(), owner.gid) : ::setgroups(0, nullptr)) != 0)
        return false;
    return ::setgid(owner.gid) == 0 && ::setuid(owner.uid) == 0 && ::geteuid() == owner.uid;
}

} // namespace

std::optional<Owner> FindUser(const std::string& name) { return LookUp(name.c_str(), 0); }

std::optional<Owner> FindInstallationOwner(const Settings& settings)
{
    if (auto owner = OwnerOf(settings.queueDir))
        return owner;
    return OwnerOf(settings.storeHome);
}

int ActAsInstallationOwner(const Settings& settings)
{
    // Without its configuration file there is no installation to protect; the
    // command says what is missing.
    if (!FileExists(settings.configFile))
        return EX_OK;
    auto owner = FindInstallationOwner(settings);
    const uid_t self = ::geteuid();
    if (!owner || owner->uid == self)
        return EX_OK;
    if (self != 0) {
        auto me = LookUp(nullptr, self);
        Complain("this installation belongs to " + owner->name + ", not to " + (me ? me->name : std::to_string(self)) +
                 "; run the command as " + owner->name + ", or as root (it then acts as " + owner->name + ")");
        return EX_NOPERM;
    }
    if (!BecomeUser(*owner)) {
        Complain("cannot act as " + owner->name + ", the owner of this installation: " + std::strerror(errno));
        return EX_OSERR;
    }
    return EX_OK;
}

bool OwnTree(const std::string& path, const Owner& owner)
{
    auto give = [&](const std::filesystem::path& p) {
        if (::lchown(p.c_str(), owner.uid, owner.gid) == 0)
            return true;
        Complain("cannot give " + p.string() + " to " + owner.name + ": " + std::strerror(errno));
        return false;
    };
    if (!give(path))
        return false;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        if (!give(it->path()))
            return false;
    }
    if (ec) {
        Complain("cannot walk " + path + ": " + ec.message());
        return false;
    }
    return true;
}

} // namespace locmail::host
