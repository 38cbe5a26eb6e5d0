#include "host/StoreAccess.h"

#include "host/InstallationOwner.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/Files.h"

#include <sysexits.h>

#include <algorithm>

namespace locmail::host {

int OpenStore(StoreAccess& store)
{
    if (int status = LoadSettings(store.settings); status != EX_OK)
        return status;
    const Settings& s = store.settings;
    if (int status = ActAsInstallationOwner(s); status != EX_OK)
        return status;
    if (std::string fault = msgstore::StoreHomeFault(s.storeHome); !fault.empty()) {
        Complain(fault + "; set [MsgStore] HomeDir in " + s.configFile + ", then run `locmail init DIR`");
        return EX_CONFIG;
    }
    OpenLog(s);
    std::string error;
    store.users = msgstore::UsersDirectory::OpenExisting(s.storeHome, error);
    if (!store.users) {
        Complain("cannot open the users directory: " + error + "; check " + s.storeHome +
                 " or run `locmail init` to make it");
        return EX_UNAVAILABLE;
    }
    return EX_OK;
}

int FindMailbox(StoreAccess& store, const std::string& address, msgstore::Account& account, std::string& home)
{
    using msgstore::DirectoryResult;
    switch (store.users->FindRecipient(address, account)) {
    case DirectoryResult::Ok: break;
    case DirectoryResult::Ambiguous:
        Complain("'" + address + "' fits more than one shared mailbox; give the whole address");
        return EX_NOUSER;
    case DirectoryResult::NotFound:
        Complain("no user or shared mailbox '" + address + "'; see `locmail user list` and `locmail shared list`");
        return EX_NOUSER;
    default: Complain("cannot read the users directory: " + store.users->LastError()); return EX_UNAVAILABLE;
    }
    auto path = msgstore::HomePathOf(store.settings.storeHome, account.home);
    if (!path) {
        Complain("the users directory gives '" + account.address + "' a home outside the store: " + account.home);
        return EX_DATAERR;
    }
    if (!IsDirectory(*path)) {
        Complain("the home " + *path + " of '" + account.address + "' is missing");
        return EX_NOINPUT;
    }
    home = *path;
    return EX_OK;
}

// Folder paths on the command line may use '/' between levels, as the rules do.
std::string FolderArgument(const std::string& text)
{
    std::string folder = text;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    return msgstore::NormalizeFolderPath(folder);
}

// EX_OK with the visible messages of FOLDER, or a status after a complaint.
int ReadFolderOf(diamondBase& base, const msgstore::Account& account, const std::string& home,
                 const std::string& folder, msgstore::FolderView& view)
{
    if (folder.empty() || !msgstore::FolderDirectory(home, folder)) {
        Complain("'" + folder + "' is not a folder name");
        return EX_USAGE;
    }
    mbxstat stat{};
    {
        mailbox mbx(&base, home.c_str(), "mailbox");
        int rc = mbx.isOpen() ? GetMbxStat(mbx, folder.c_str(), stat) : msgstore::kNotOpen;
        if (rc == msgstore::kNotFound) {
            Complain("no folder '" + folder + "' in the mailbox of '" + account.address + "'; see `locmail store ls " +
                     account.address + "`");
            return EX_NOINPUT;
        }
        if (rc != msgstore::kOk) {
            Complain("cannot read the folders of '" + account.address + "' in " + home);
            return EX_UNAVAILABLE;
        }
    }
    if (int rc = msgstore::ReadFolder(base, home, folder, view); rc != msgstore::kOk) {
        Complain("cannot read the folder '" + folder + "' of '" + account.address + "' (error " + std::to_string(rc) +
                 ")");
        return EX_UNAVAILABLE;
    }
    return EX_OK;
}

// Opens the store and finds the mailbox ADDRESS names, with its home directory.
int OpenMailbox(const std::string& address, msgstore::Account& account, std::string& home)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    return FindMailbox(store, address, account, home);
}

} // namespace locmail::host
