#include "suite/msgstore/Accounts.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/HomeName.h"
#include "suite/msgstore/Relations.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"
#include "suite/util/MailboxSyntax.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace locmail::msgstore {
namespace {

constexpr int kMaxHomeSuffix = 1000;

AccountOutcome Outcome(AccountStatus status, std::string detail)
{
    AccountOutcome o;
    o.status = status;
    o.detail = std::move(detail);
    return o;
}

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

// The address a home on disk was made for; empty when it has no owner file.
std::string HomeOwner(const std::string& homePath)
{
    std::string text;
    if (!ReadWholeFile(PathJoin(homePath, kHomeOwnerFile), text))
        return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

enum class HomeChoice { Fresh, Reused, Taken, Failed };

HomeChoice CheckCandidate(UsersDirectory& users, const std::string& storeHome, const std::string& relative,
                          const std::string& address, std::string& error)
{
    Account holder;
    DirectoryResult r = users.FindByHome(relative, holder);
    if (r == DirectoryResult::Failed) {
        error = users.LastError();
        return HomeChoice::Failed;
    }
    if (r == DirectoryResult::Ok)
        return HomeChoice::Taken;
    const std::string path = PathJoin(storeHome, relative);
    if (!FileExists(path))
        return HomeChoice::Fresh;
    return FoldAddress(HomeOwner(path)) == FoldAddress(address) ? HomeChoice::Reused : HomeChoice::Taken;
}

bool MakeDirectoryIfMissing(const std::string& path, std::string& error)
{
    if (MakeDirectory(path, 0700) == 0 || (errno == EEXIST && IsDirectory(path)))
        return true;
    error = ErrnoText("cannot create " + path, errno);
    return false;
}

// The home directory, its owner file, its mailbox relation and "inbox".
bool MakeHome(const std::string& storeHome, const std::string& homePath, const std::string& address,
              std::string& error)
{
    const std::string parent = homePath.substr(0, homePath.rfind('/'));
    if (!MakeDirectoryIfMissing(parent, error) || !MakeDirectoryIfMissing(homePath, error))
        return false;
    // Made durable by the sync point below, with the rest of the home.
    const std::string owner = PathJoin(homePath, kHomeOwnerFile);
    UniqueFd fd(::open(owner.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd || !WriteAll(fd.get(), address + "\n") || ::close(fd.release()) != 0) {
        error = ErrnoText("cannot write " + owner, errno);
        return false;
    }
    diamondBase base;
    mailbox mbx(&base, homePath.c_str(), "mailbox");
    MakeFolderResult inbox = EnsureFolder(mbx, storeHome, "inbox");
    if (!inbox.ok()) {
        error = "cannot make the folder \"inbox\" in " + homePath + ": " + inbox.detail;
        return false;
    }
    locmail::db::MarkDirty(homePath);
    locmail::db::MarkDirty(parent);
    if (int err = locmail::db::SyncPoint(); err != 0) {
        error = ErrnoText("cannot sync " + homePath, err);
        return false;
    }
    return true;
}

} // namespace

std::string AccountAddressProblem(std::string_view address, bool shared)
{
    if (address.empty())
        return "is empty";
    if (address.size() > kAddressMax)
        return "is longer than " + std::to_string(kAddressMax) + " characters";
    // A shared mailbox may be named by a local part alone: mail for NAME@ any local domain reaches it.
    const bool localPartOnly = shared && address.find('@') == std::string_view::npos;
    if (std::string problem = localPartOnly ? util::LocalPartProblem(address) : util::MailboxProblem(address);
        !problem.empty())
        return std::string(localPartOnly ? "is not the local part of an address (" : "is not an address (") + problem +
               ")";
    // ".", ".." and ".x" would read as paths where the address names a home.
    if (address.front() == '.')
        return "starts with '.'";
    for (unsigned char c : address) {
        if (c <= ' ' || c == 0x7F)
            return "holds a blank or a control character";
        if (shared && (c == '/' || c == '\\'))
            return "holds a '/' or '\\', which rules use between a shared mailbox and its folder";
    }
    return {};
}

AccountOutcome AddAccount(UsersDirectory& users, const std::string& storeHome, Account account)
{
    if (std::string problem = AccountAddressProblem(account.address, account.shared); !problem.empty())
        return Outcome(AccountStatus::BadAddress, "'" + account.address + "' " + problem);
    Account existing;
    DirectoryResult found = users.Find(account.address, existing);
    if (found == DirectoryResult::Failed)
        return Outcome(AccountStatus::Unavailable, users.LastError());
    if (found == DirectoryResult::Ok)
        return Outcome(AccountStatus::Exists, "'" + existing.address + "' is registered already");

    const std::string base = std::string(account.shared ? kSharedHomes : kUserHomes) + "/"
                           + HomeDirectoryName(account.address);
    AccountOutcome out;
    for (int n = 1;; ++n) {
        if (n > kMaxHomeSuffix)
            return Outcome(AccountStatus::Failed, "no free home name for '" + account.address + "'");
        account.home = n == 1 ? base : base + "-" + std::to_string(n);
        std::string error;
        HomeChoice choice = CheckCandidate(users, storeHome, account.home, account.address, error);
        if (choice == HomeChoice::Failed)
            return Outcome(AccountStatus::Unavailable, error);
        if (choice != HomeChoice::Taken) {
            out.reusedHome = choice == HomeChoice::Reused;
            break;
        }
    }
    out.homePath = PathJoin(storeHome, account.home);
    if (std::string error; !MakeHome(storeHome, out.homePath, account.address, error))
        return Outcome(AccountStatus::Failed, error);

    switch (users.Add(account)) {
    case DirectoryResult::Ok: break;
    case DirectoryResult::Exists:
        return Outcome(AccountStatus::Exists, "'" + account.address + "' was registered meanwhile");
    case DirectoryResult::HomeTaken:
        return Outcome(AccountStatus::Failed, "the home " + account.home + " was taken meanwhile; try again");
    default: return Outcome(AccountStatus::Unavailable, users.LastError());
    }
    out.account = std::move(account);
    return out;
}

AccountOutcome RemoveAccount(UsersDirectory& users, const std::string& storeHome, std::string_view address,
                             bool shared, bool purge)
{
    AccountOutcome out;
    DirectoryResult found = users.Find(address, out.account);
    if (found == DirectoryResult::Failed)
        return Outcome(AccountStatus::Unavailable, users.LastError());
    if (found == DirectoryResult::NotFound)
        return Outcome(AccountStatus::NotFound, "'" + std::string(address) + "' is not registered");
    if (out.account.shared != shared) {
        return Outcome(AccountStatus::WrongKind, "'" + out.account.address + "' is "
                                                     + (out.account.shared ? "a shared mailbox" : "a user"));
    }
    auto home = HomePathOf(storeHome, out.account.home);
    out.homePath = home.value_or(out.account.home);
    DirectoryResult removed = users.Remove(out.account.address);
    if (removed == DirectoryResult::Failed)
        return Outcome(AccountStatus::Unavailable, users.LastError());
    if (removed == DirectoryResult::NotFound)
        return Outcome(AccountStatus::NotFound, "'" + out.account.address + "' was removed meanwhile");
    out.removed = true;
    if (purge) {
        if (!home) {
            out.status = AccountStatus::Failed;
            out.detail = "the registered home '" + out.account.home + "' lies outside the store; not deleted";
            return out;
        }
        std::error_code ec;
        std::filesystem::remove_all(*home, ec);
        if (ec) {
            out.status = AccountStatus::Failed;
            out.detail = "cannot delete " + *home + ": " + ec.message();
        }
    }
    return out;
}

} // namespace locmail::msgstore
