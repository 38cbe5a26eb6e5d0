#include "suite/msgstore/UsersDirectory.h"

#include "suite/msgstore/HomeName.h"
#include "suite/platform/Files.h"

namespace locmail::msgstore {

const locmail::db::Schema kUsersSchema{
    "users", 1,
    "CREATE TABLE account(address TEXT PRIMARY KEY NOT NULL COLLATE NOCASE,"
    " localPart TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL, home TEXT NOT NULL UNIQUE,"
    " shared INTEGER NOT NULL, mayReceive INTEGER NOT NULL);"
    " CREATE INDEX sharedByLocalPart ON account(localPart) WHERE shared = 1"};

namespace {

using locmail::db::StatementUse;

void BindText(sqlite3_stmt* stmt, int index, std::string_view text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
}

Account AccountFromRow(sqlite3_stmt* stmt)
{
    Account a;
    a.address = ColumnText(stmt, 0);
    a.name = ColumnText(stmt, 1);
    a.home = ColumnText(stmt, 2);
    a.shared = sqlite3_column_int(stmt, 3) != 0;
    a.mayReceive = sqlite3_column_int(stmt, 4) != 0;
    return a;
}

std::unique_ptr<locmail::db::Connection> OpenUsersDb(const std::string& storeHome, locmail::db::OpenMode mode,
                                                     std::string& error)
{
    return locmail::db::Connection::Open(PathJoin(storeHome, kUsersDbName), kUsersSchema, error, nullptr, mode);
}

} // namespace

std::unique_ptr<UsersDirectory> UsersDirectory::Open(const std::string& storeHome, std::string& error)
{
    return Finish(OpenUsersDb(storeHome, locmail::db::OpenMode::CreateOrUpgrade, error), error);
}

std::unique_ptr<UsersDirectory> UsersDirectory::OpenExisting(const std::string& storeHome, std::string& error)
{
    return Finish(OpenUsersDb(storeHome, locmail::db::OpenMode::ExistingOnly, error), error);
}

std::unique_ptr<UsersDirectory> UsersDirectory::Finish(std::unique_ptr<locmail::db::Connection> conn,
                                                       std::string& error)
{
    if (!conn)
        return nullptr;
    if (sqlite3_exec(conn->handle(), "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = conn->path() + ": " + conn->LastError();
        return nullptr;
    }
    return std::unique_ptr<UsersDirectory>(new UsersDirectory(std::move(conn)));
}

DirectoryResult UsersDirectory::Failed()
{
    error_ = conn_->path() + ": " + conn_->LastError();
    return DirectoryResult::Failed;
}

DirectoryResult UsersDirectory::ReadFirstRow(sqlite3_stmt* stmt, Account& out)
{
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return DirectoryResult::NotFound;
    if (rc != SQLITE_ROW)
        return Failed();
    out = AccountFromRow(stmt);
    return DirectoryResult::Ok;
}

DirectoryResult UsersDirectory::FindOne(const char* sql, std::string_view key, Account& out)
{
    StatementUse use(conn_->Statement(sql));
    if (!use)
        return Failed();
    BindText(use.get(), 1, key);
    return ReadFirstRow(use.get(), out);
}

DirectoryResult UsersDirectory::Find(std::string_view address, Account& out)
{
    return FindOne("SELECT address, name, home, shared, mayReceive FROM account WHERE address = ?1", address, out);
}

DirectoryResult UsersDirectory::FindByHome(std::string_view home, Account& out)
{
    return FindOne("SELECT address, name, home, shared, mayReceive FROM account WHERE home = ?1", home, out);
}

DirectoryResult UsersDirectory::FindSharedByLocalPart(std::string_view address, Account& out)
{
    StatementUse use(conn_->Statement(
        "SELECT address, name, home, shared, mayReceive FROM account WHERE shared = 1 AND localPart = ?1 LIMIT 2"));
    if (!use)
        return Failed();
    BindText(use.get(), 1, LocalPart(address));
    if (DirectoryResult first = ReadFirstRow(use.get(), out); first != DirectoryResult::Ok)
        return first;
    int rc = sqlite3_step(use.get());
    if (rc == SQLITE_ROW)
        return DirectoryResult::Ambiguous;
    return rc == SQLITE_DONE ? DirectoryResult::Ok : Failed();
}

DirectoryResult UsersDirectory::FindRecipient(std::string_view address, Account& out)
{
    const DirectoryResult found = Find(address, out);
    return found == DirectoryResult::NotFound ? FindSharedByLocalPart(address, out) : found;
}

DirectoryResult UsersDirectory::List(std::vector<Account>& out)
{
    out.clear();
    StatementUse use(conn_->Statement("SELECT address, name, home, shared, mayReceive FROM account ORDER BY address"));
    if (!use)
        return Failed();
    int rc;
    while ((rc = sqlite3_step(use.get())) == SQLITE_ROW)
        out.push_back(AccountFromRow(use.get()));
    if (rc != SQLITE_DONE) {
        out.clear();
        return Failed();
    }
    return DirectoryResult::Ok;
}

DirectoryResult UsersDirectory::Add(const Account& account)
{
    StatementUse use(conn_->Statement(
        "INSERT INTO account(address, localPart, name, home, shared, mayReceive) VALUES(?1, ?2, ?3, ?4, ?5, ?6)"));
    if (!use)
        return Failed();
    sqlite3_stmt* s = use.get();
    BindText(s, 1, account.address);
    BindText(s, 2, LocalPart(account.address));
    BindText(s, 3, account.name);
    BindText(s, 4, account.home);
    sqlite3_bind_int(s, 5, account.shared ? 1 : 0);
    sqlite3_bind_int(s, 6, account.mayReceive ? 1 : 0);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        return DirectoryResult::Exists;
    if (rc == SQLITE_CONSTRAINT_UNIQUE)
        return DirectoryResult::HomeTaken;
    return rc == SQLITE_DONE ? DirectoryResult::Ok : Failed();
}

DirectoryResult UsersDirectory::Remove(std::string_view address)
{
    StatementUse use(conn_->Statement("DELETE FROM account WHERE address = ?1"));
    if (!use)
        return Failed();
    BindText(use.get(), 1, address);
    if (sqlite3_step(use.get()) != SQLITE_DONE)
        return Failed();
    return sqlite3_changes(conn_->handle()) > 0 ? DirectoryResult::Ok : DirectoryResult::NotFound;
}

} // namespace locmail::msgstore
