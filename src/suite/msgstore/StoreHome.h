// The store home ([MsgStore] HomeDir) and the places in it:
//   HOMEDIR/msgbody.db ... msgstat.id0   the eight template files (Templates.h)
//   HOMEDIR/users.db                     the users directory (UsersDirectory.h)
//   HOMEDIR/users/NAME/                  a user's home (HomeName.h)
//   HOMEDIR/shared/NAME/                 a shared mailbox's home
//   HOMEDIR/.locmail-store               the mark that `locmail init` made this store
// A home holds the `mailbox` relation, one directory per folder, and the
// file ".locmail-address" naming the account it was made for, so that a home
// left on disk by a removed account is only ever taken up again by the same
// address.
//
// Contract: PrepareStoreHome makes whatever of the above (but the homes) is
// missing and leaves what exists alone: template files are written only when
// one of them is missing. Running it again changes nothing. It is the only
// maker of a store; everything else opens what is there (StoreHomeFault says
// whether a directory is such a store, without touching it).
// Failure modes: PrepareStoreHome returns false with ERROR naming what could
// not be made and why. HomePathOf refuses (nullopt) a relative home that is
// not "users/NAME" or "shared/NAME" with a plain NAME, so a damaged users
// directory can never point outside the store. OpenHome checks the home at
// such a path without following a symbolic link out of the store.
#pragma once

#include "suite/msgstore/UsersDirectory.h"

#include <optional>
#include <string>
#include <string_view>

namespace locmail::msgstore {

inline constexpr const char* kUserHomes = "users";
inline constexpr const char* kSharedHomes = "shared";
inline constexpr const char* kHomeOwnerFile = ".locmail-address";
inline constexpr const char* kStoreMarkFile = ".locmail-store";

bool PrepareStoreHome(const std::string& storeHome, std::string& error);

// Empty when STOREHOME is a store that PrepareStoreHome made; else what is
// wrong with it ("/" or a relative path, not a directory, no store mark).
std::string StoreHomeFault(const std::string& storeHome);

enum class HomeState { Ready, Missing, KindFolderMissing, NotADirectory, Unreadable };
// What is at the home HOMEPATH (from HomePathOf): a real directory (Ready),
// nothing (Missing; KindFolderMissing when users/ or shared/ itself is gone,
// an outage of the whole store), a symbolic link or other file (NotADirectory),
// or a failure (Unreadable, ERROR holds errno).
HomeState CheckHome(const std::string& homePath, int& error);

// STOREHOME joined with the account's relative home, when that is well formed.
std::optional<std::string> HomePathOf(const std::string& storeHome, std::string_view relativeHome);

} // namespace locmail::msgstore
