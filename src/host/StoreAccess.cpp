#include "host/StoreAccess.h"

#include "host/InstallationOwner.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/platform/Files.h"

#include <sysexits.h>

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

} // namespace locmail::host
