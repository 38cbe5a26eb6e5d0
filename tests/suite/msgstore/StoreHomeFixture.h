// A store as `locmail init` makes it, with accounts, for the tests that file
// through CMsgStore or the agent (here and tests/filing), and what a reader
// sees of a folder afterwards.
#pragma once

#include "suite/msgstore/Accounts.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/FolderReader.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/OpResult.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/msgstore/UsersDirectory.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace storetest {

class StoreHomeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(locmail::msgstore::PrepareStoreHome(storeHome, error)) << error;
        users = locmail::msgstore::UsersDirectory::Open(storeHome, error);
        ASSERT_TRUE(users) << error;
    }

    // Registers ADDRESS; its home.
    std::string AddAccount(const std::string& address, bool shared = false, bool mayReceive = true)
    {
        locmail::msgstore::Account account;
        account.address = address;
        account.shared = shared;
        account.mayReceive = mayReceive;
        const auto added = locmail::msgstore::AddAccount(*users, storeHome, account);
        EXPECT_EQ(added.status, locmail::msgstore::AccountStatus::Done) << added.detail;
        return added.homePath;
    }

    std::string HomeOf(const std::string& address)
    {
        locmail::msgstore::Account account;
        EXPECT_EQ(users->Find(address, account), locmail::msgstore::DirectoryResult::Ok) << address;
        return storeHome + "/" + account.home;
    }

    std::string FolderDir(const std::string& address, const std::string& folder)
    {
        return locmail::msgstore::FolderDirectory(HomeOf(address), folder).value_or("");
    }

    locmail::msgstore::FolderView View(const std::string& address, const std::string& folder)
    {
        locmail::msgstore::FolderView view;
        EXPECT_EQ(locmail::msgstore::ReadFolder(base, HomeOf(address), folder, view), locmail::msgstore::kOk) << folder;
        return view;
    }

    // The text of message UID of FOLDER.
    std::string Stored(const std::string& address, const std::string& folder, std::uint32_t uid)
    {
        std::string text;
        EXPECT_TRUE(locmail::msgstore::ReadMessageFile(
            locmail::msgstore::MessageFilePath(FolderDir(address, folder), uid), text))
            << folder << " " << uid;
        return text;
    }

    testsupport::TempDir tmp;
    std::string storeHome = tmp / "store";
    std::unique_ptr<locmail::msgstore::UsersDirectory> users;
    diamondBase base;
};

} // namespace storetest
