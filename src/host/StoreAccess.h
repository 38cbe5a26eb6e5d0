// What the store commands (user, shared, store) share: the configured store
// home and its users directory, opened with errors that say what to do.
//
// Contract: OpenStore reads the settings, requires the configuration file and
// [MsgStore] HomeDir, acts as the installation's owner (InstallationOwner.h;
// EX_NOPERM for anyone else), opens the log and the users directory, and returns
// EX_OK, or the sysexits status after telling the operator what failed on
// standard error (EX_CONFIG: no configuration, or no store that `locmail init`
// made at [MsgStore] HomeDir; EX_UNAVAILABLE: the users
// directory cannot be opened). FindMailbox looks an address up as delivery
// does (UsersDirectory::FindRecipient).
#pragma once

#include "host/Settings.h"
#include "suite/msgstore/FolderReader.h"
#include "suite/msgstore/UsersDirectory.h"

#include <memory>
#include <string>

namespace locmail::host {

struct StoreAccess {
    Settings settings;
    std::unique_ptr<msgstore::UsersDirectory> users;
};

int OpenStore(StoreAccess& store);

// EX_OK with ACCOUNT and its absolute HOME, or a status after a complaint.
int FindMailbox(StoreAccess& store, const std::string& address, msgstore::Account& account, std::string& home);

// OpenStore and FindMailbox in one.
int OpenMailbox(const std::string& address, msgstore::Account& account, std::string& home);

// A folder path from the command line ('/' or '\' between levels) as the store names it.
std::string FolderArgument(const std::string& text);

// EX_OK with the visible messages of FOLDER, or a status after a complaint
// (EX_USAGE: not a folder name; EX_NOINPUT: no such folder).
int ReadFolderOf(diamondBase& base, const msgstore::Account& account, const std::string& home,
                 const std::string& folder, msgstore::FolderView& view);

} // namespace locmail::host
