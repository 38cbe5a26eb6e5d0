// locmail user add|list|remove and locmail shared add|list|remove: the accounts
// of the message store (users.db) and their homes.
#include "host/Commands.h"
#include "host/JsonOutput.h"
#include "host/StoreAccess.h"
#include "suite/log/LogMessage.h"
#include "suite/msgstore/Accounts.h"

#include <sysexits.h>

#include <cstdio>
#include <iostream>
#include <memory>

namespace locmail::host {
namespace {

using msgstore::AccountStatus;

constexpr const char* kModule = "MsgStore";

const char* KindWord(bool shared) { return shared ? "shared mailbox" : "user"; }

int StatusFor(AccountStatus status)
{
    switch (status) {
    case AccountStatus::Done: return EX_OK;
    case AccountStatus::BadAddress:
    case AccountStatus::Exists: return EX_DATAERR;
    case AccountStatus::NotFound: return EX_NOUSER;
    case AccountStatus::WrongKind: return EX_USAGE;
    case AccountStatus::Unavailable: return EX_UNAVAILABLE;
    case AccountStatus::Failed: return EX_CANTCREAT;
    }
    return EX_SOFTWARE;
}

} // namespace

int RunAccountAdd(const AccountOptions& options, bool shared)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    msgstore::Account account;
    account.address = options.address;
    account.name = options.name.empty() && shared ? options.address : options.name;
    account.shared = shared;
    account.mayReceive = !options.noReceive;
    auto out = msgstore::AddAccount(*store.users, store.settings.storeHome, account);
    if (out.status != AccountStatus::Done) {
        Complain(std::string("cannot add ") + KindWord(shared) + ": " + out.detail);
        return StatusFor(out.status);
    }
    LogMessage(5, kModule, "%s <%s> added, home <%s>", KindWord(shared), out.account.address.c_str(),
               out.homePath.c_str());
    std::cout << "added " << KindWord(shared) << ' ' << out.account.address << ", home " << out.homePath;
    if (out.reusedHome)
        std::cout << " (taken up again with the mail it held)";
    if (!out.account.mayReceive)
        std::cout << "; it may not receive mail now";
    std::cout << '\n';
    return EX_OK;
}

int RunAccountRemove(const AccountOptions& options, bool shared)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    auto out = msgstore::RemoveAccount(*store.users, store.settings.storeHome, options.address, shared, options.purge);
    if (out.status == AccountStatus::WrongKind) {
        Complain(out.detail + "; use `locmail " + (shared ? "user" : "shared") + " remove`");
        return StatusFor(out.status);
    }
    if (!out.removed) {
        Complain(std::string("cannot remove ") + KindWord(shared) + ": " + out.detail);
        return StatusFor(out.status);
    }
    LogMessage(5, kModule, "%s <%s> removed%s", KindWord(shared), out.account.address.c_str(),
               options.purge && out.status == AccountStatus::Done ? ", home deleted" : "");
    if (out.status != AccountStatus::Done) {
        Complain("removed " + std::string(KindWord(shared)) + " " + out.account.address +
                 ", but its home stays: " + out.detail);
        return EX_IOERR;
    }
    if (options.purge)
        std::cout << "removed " << KindWord(shared) << ' ' << out.account.address << " and deleted " << out.homePath
                  << '\n';
    else
        std::cout << "removed " << KindWord(shared) << ' ' << out.account.address << "; its mail stays in "
                  << out.homePath << " (add it again to take it up, or remove with --purge to delete it)\n";
    return EX_OK;
}

int RunAccountList(bool shared, bool json)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    std::vector<msgstore::Account> all;
    if (store.users->List(all) != msgstore::DirectoryResult::Ok) {
        Complain("cannot read the users directory: " + store.users->LastError());
        return EX_UNAVAILABLE;
    }
    std::vector<msgstore::Account> accounts;
    for (auto& a : all)
        if (a.shared == shared)
            accounts.push_back(std::move(a));
    if (json) {
        std::vector<std::string> items;
        for (const auto& a : accounts) {
            JsonObject object;
            object.Text(shared ? "name" : "address", a.address);
            if (!shared)
                object.Bool("receive", a.mayReceive).Text("name", a.name);
            items.push_back(object.Text("home", a.home).Done());
        }
        PrintJsonArray(items);
        return EX_OK;
    }
    if (shared)
        std::printf("%-32s %s\n", "NAME", "HOME");
    else
        std::printf("%-32s %-7s %-24s %s\n", "ADDRESS", "RECEIVE", "NAME", "HOME");
    for (const auto& a : accounts) {
        if (shared)
            std::printf("%-32s %s\n", a.address.c_str(), a.home.c_str());
        else
            std::printf("%-32s %-7s %-24s %s\n", a.address.c_str(), a.mayReceive ? "yes" : "no",
                        a.name.empty() ? "-" : a.name.c_str(), a.home.c_str());
    }
    std::printf("%zu %s\n", accounts.size(), shared ? "shared mailbox(es)" : "user(s)");
    return EX_OK;
}

} // namespace locmail::host
