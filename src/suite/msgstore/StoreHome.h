// The store home ([MsgStore] HomeDir) and the places in it:
//   HOMEDIR/msgbody.db ... msgstat.id0   the eight template files (Templates.h)
//   HOMEDIR/users.db                     the users directory (UsersDirectory.h)
//   HOMEDIR/users/NAME/                  a user's home (HomeName.h)
//   HOMEDIR/shared/NAME/                 a shared mailbox's home
// A home holds the `mailbox` relation, one directory per folder, and the
// file ".locmail-address" naming the account it was made for, so that a home
// left on disk by a removed account is only ever taken up again by the same
// address.
//
// Contract: PrepareStoreHome makes whatever of the above (but the homes) is
// missing and leaves what exists alone: template files are written only when
// one of them is missing. Running it again changes nothing.
// Failure modes: PrepareStoreHome returns false with ERROR naming what could
// not be made and why. HomePathOf refuses (nullopt) a relative home that is
// not "users/NAME" or "shared/NAME" with a plain NAME, so a damaged users
// directory can never point outside the store.
#pragma once

#include "suite/msgstore/UsersDirectory.h"

#include <optional>
#include <string>
#include <string_view>

namespace locmail::msgstore {

inline constexpr const char* kUserHomes = "users";
inline constexpr const char* kSharedHomes = "shared";
inline constexpr const char* kHomeOwnerFile = ".locmail-address";

bool PrepareStoreHome(const std::string& storeHome, std::string& error);

// STOREHOME joined with the account's relative home, when that is well formed.
std::optional<std::string> HomePathOf(const std::string& storeHome, std::string_view relativeHome);

} // namespace locmail::msgstore
