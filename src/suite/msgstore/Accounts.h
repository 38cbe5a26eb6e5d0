// Adding and removing users and shared mailboxes: the users directory row and
// the home on disk together.
//
// AddAccount checks the address, picks the home (HomeName.h, under users/ or
// shared/), makes it with its `mailbox` relation, the owner file and the
// folder "inbox" (FolderMaker.h), syncs it, and only then registers the
// account, so a registered account always has a usable home. When the
// derived home name is held by another account, or a directory of that name
// on disk was made for another address, "-2", "-3", ... is appended until the
// name is free; a home left on disk by this same address (removed without
// purging) is taken up again with its mail.
// RemoveAccount unregisters the account first (mail stops at once), then, with
// PURGE, deletes its home; without PURGE the home and its mail stay on disk.
//
// Address rules: 1 to 1023 bytes, no blanks or control characters; a shared
// mailbox's name holds no `/` or `\` either (rules name "mailbox/folder").
// Failure modes: the outcome's status; detail says what failed and why.
// Nothing made before a failure is removed (a half-made home is completed by
// the next AddAccount of the same address). Nothing throws except
// std::bad_alloc.
#pragma once

#include "suite/msgstore/UsersDirectory.h"

#include <string>
#include <string_view>

namespace locmail::msgstore {

inline constexpr std::size_t kAddressMax = 1023;

enum class AccountStatus {
    Done,
    BadAddress,
    Exists,      // AddAccount: the address is registered already
    NotFound,    // RemoveAccount: no such account
    WrongKind,   // RemoveAccount: a user where a shared mailbox was named, or the reverse
    Unavailable, // the users directory could not be read or written
    Failed,      // the home could not be made or (purge) deleted
};

struct AccountOutcome {
    AccountStatus status = AccountStatus::Done;
    std::string detail;
    Account account;         // as registered (AddAccount) or as it was (RemoveAccount)
    std::string homePath;    // absolute
    bool reusedHome = false; // AddAccount took up a home left by the same address
    bool removed = false;    // RemoveAccount unregistered it (even when the purge then failed)
};

// Empty when ADDRESS may name an account of that kind, else why not.
std::string AccountAddressProblem(std::string_view address, bool shared);

AccountOutcome AddAccount(UsersDirectory& users, const std::string& storeHome, Account account);
AccountOutcome RemoveAccount(UsersDirectory& users, const std::string& storeHome, std::string_view address,
                             bool shared, bool purge);

} // namespace locmail::msgstore
