// UsersDirectory: the store's list of users and shared mailboxes, users.db in
// the store home ([MsgStore] HomeDir).
//
// One row per account: its address (unique; matched without regard to the
// case of ASCII letters), a display name, its home directory relative to the
// store home ("users/NAME" or "shared/NAME", see HomeName.h), whether it is a
// shared mailbox, and whether it may receive mail now. A shared mailbox is
// also found by the part of its address before the '@' (FindSharedByLocalPart),
// so "Support" in a user's rule and the recipient support@example.org both
// reach the shared mailbox registered as either.
//
// Contract: Open (for `locmail init` only) makes users.db when it is missing
// (the store home must exist); both opens check that an existing file is a users directory. Writes are
// synced before they return (synchronous=FULL: accounts change rarely and
// must not come back after a crash). One object is used by one thread; other
// processes may use the same file at the same time (SQLite WAL).
// Failure modes: Open returns nullptr with the reason. The other operations
// return a DirectoryResult; Failed means the database could not be read or
// written (LastError says why) and is worth retrying later. Nothing throws
// except std::bad_alloc.
#pragma once

#include "suite/db/Connection.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace locmail::msgstore {

inline constexpr const char* kUsersDbName = "users.db";

struct Account {
    std::string address;
    std::string name;
    std::string home; // relative to the store home
    bool shared = false;
    bool mayReceive = true;
};

enum class DirectoryResult {
    Ok,
    NotFound,
    Exists,    // Add: the address is taken (in any case)
    HomeTaken, // Add: another account has that home
    Ambiguous, // FindSharedByLocalPart: more than one shared mailbox has that local part
    Failed,
};

class UsersDirectory {
public:
    static std::unique_ptr<UsersDirectory> Open(const std::string& storeHome, std::string& error);
    // As Open, but a missing or empty users.db is an error: only `locmail init` makes a store.
    static std::unique_ptr<UsersDirectory> OpenExisting(const std::string& storeHome, std::string& error);

    DirectoryResult Find(std::string_view address, Account& out);
    DirectoryResult FindSharedByLocalPart(std::string_view address, Account& out);
    // A recipient as delivery finds it: the account registered under ADDRESS,
    // else the one shared mailbox whose local part ADDRESS has.
    DirectoryResult FindRecipient(std::string_view address, Account& out);
    // The account whose home is HOME (relative), if any.
    DirectoryResult FindByHome(std::string_view home, Account& out);
    DirectoryResult List(std::vector<Account>& out); // by address, users and shared alike

    DirectoryResult Add(const Account& account);
    // Removes the account registered under ADDRESS (any case).
    DirectoryResult Remove(std::string_view address);

    const std::string& LastError() const { return error_; }
    const std::string& Path() const { return conn_->path(); }

private:
    explicit UsersDirectory(std::unique_ptr<locmail::db::Connection> conn) : conn_(std::move(conn)) {}
    static std::unique_ptr<UsersDirectory> Finish(std::unique_ptr<locmail::db::Connection> conn, std::string& error);
    DirectoryResult FindOne(const char* sql, std::string_view key, Account& out);
    // Steps a query onto its first row and reads the account there.
    DirectoryResult ReadFirstRow(sqlite3_stmt* stmt, Account& out);
    DirectoryResult Failed();

    std::unique_ptr<locmail::db::Connection> conn_;
    std::string error_;
};

extern const locmail::db::Schema kUsersSchema;

} // namespace locmail::msgstore
