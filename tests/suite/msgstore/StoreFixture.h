// A store as `locmail init` makes it, with accounts, for the tests that file
// through CMsgStore or the agent (here and tests/filing); a bare home beside
// it for the tests of the filing steps; and what a reader sees of a folder.
#pragma once

#include "suite/msgstore/Accounts.h"
#include "suite/msgstore/Filing.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/FolderReader.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/msgstore/Templates.h"
#include "suite/msgstore/UsersDirectory.h"
#include "suite/platform/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <string>

// Field-wise: the records have padding, which memcmp would compare too.
inline bool operator==(const mbxstat& a, const mbxstat& b)
{
    return a.flags == b.flags && a.totalMsgs == b.totalMsgs && a.recentMsgs == b.recentMsgs
        && a.unseenMsgs == b.unseenMsgs && a.uidNext == b.uidNext && a.createTime == b.createTime
        && a.reserved == b.reserved;
}

inline void PrintTo(const mbxstat& s, std::ostream* os)
{
    *os << "{flags " << int(s.flags) << ", " << s.totalMsgs << "/" << s.recentMsgs << "/" << s.unseenMsgs
        << ", uidNext " << s.uidNext << ", created " << s.createTime << ", " << s.reserved << "}";
}

namespace storetest {

namespace ms = locmail::msgstore;

inline std::string Message(const std::string& tag)
{
    return "From: sender@example.org\r\nSubject: " + tag + "\r\n\r\nBody of " + tag + "\r\n";
}

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(ms::PrepareStoreHome(storeHome, error)) << error;
        users = ms::UsersDirectory::Open(storeHome, error);
        ASSERT_TRUE(users) << error;
        std::filesystem::create_directories(home);
    }

    // Registers ADDRESS; its home.
    std::string AddAccount(const std::string& address, bool shared = false, bool mayReceive = true)
    {
        ms::Account account;
        account.address = address;
        account.shared = shared;
        account.mayReceive = mayReceive;
        const auto added = ms::AddAccount(*users, storeHome, account);
        EXPECT_EQ(added.status, ms::AccountStatus::Done) << added.detail;
        return added.homePath;
    }

    std::string HomeOf(const std::string& address)
    {
        ms::Account account;
        EXPECT_EQ(users->Find(address, account), ms::DirectoryResult::Ok) << address;
        return storeHome + "/" + account.home;
    }

    std::string FolderDir(const std::string& address, const std::string& folder)
    {
        return ms::FolderDirectory(HomeOf(address), folder).value_or("");
    }

    ms::FolderView View(const std::string& address, const std::string& folder)
    {
        ms::FolderView view;
        EXPECT_EQ(ms::ReadFolder(base, HomeOf(address), folder, view), ms::kOk) << folder;
        return view;
    }

    // The text of message UID of FOLDER.
    std::string Stored(const std::string& address, const std::string& folder, std::uint32_t uid)
    {
        std::string text;
        EXPECT_TRUE(ms::ReadMessageFile(ms::MessageFilePath(FolderDir(address, folder), uid), text))
            << folder << " " << uid;
        return text;
    }

    // The bare home: its folders are made by MakeFolder, what CreateMbx does for one level.
    std::string FolderDir(const std::string& folder) { return *ms::FolderDirectory(home, folder); }

    void MakeFolder(const std::string& folder, std::uint8_t flags = 0)
    {
        const std::string dir = FolderDir(folder);
        std::filesystem::create_directories(dir);
        for (const char* name : ms::kTemplateFiles)
            ASSERT_TRUE(locmail::CopyFileOver(locmail::PathJoin(storeHome, name), locmail::PathJoin(dir, name)));
        mailbox mbx(&base, home.c_str(), "mailbox");
        mbxstat record{};
        record.flags = flags;
        record.uidNext = 1;
        record.createTime = 1700000000;
        ASSERT_EQ(AddMbx(mbx, folder.c_str(), record), ms::kOk);
    }

    ms::FilingRequest Request(const std::string& folder, const std::string& text)
    {
        texts_.push_back(folder); // the request only views the folder and the text
        ms::FilingRequest req;
        req.homeDir = home;
        req.folderPath = texts_.back();
        texts_.push_back(text);
        req.text = texts_.back();
        req.stat.day = 6;
        req.stat.month = 12;
        req.stat.headerSize = static_cast<std::uint32_t>(text.find("\r\n\r\n") + 2);
        req.envelope = "(NIL \"" + text.substr(0, 10) + "\" NIL NIL NIL NIL NIL NIL NIL NIL)";
        req.bodyStructure = "(\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" 10 1 NIL NIL NIL NIL)";
        return req;
    }

    ms::FilingResult File(const std::string& folder, const std::string& text)
    {
        return ms::FileIntoFolder(base, Request(folder, text));
    }

    mbxstat Stat(const std::string& folder)
    {
        mailbox mbx(&base, home.c_str(), "mailbox");
        mbxstat record{};
        EXPECT_EQ(GetMbxStat(mbx, folder.c_str(), record), ms::kOk);
        return record;
    }

    std::string FileOf(const std::string& folder, std::uint32_t uid)
    {
        return ms::MessageFilePath(FolderDir(folder), uid);
    }

    // Checks every invariant a reader relies on and returns uid -> text.
    std::map<std::uint32_t, std::string> CheckFolder(const std::string& folder)
    {
        ms::FolderView view;
        EXPECT_EQ(ms::ReadFolder(base, home, folder, view), ms::kOk);
        EXPECT_TRUE(view.skipped.empty()) << "a visible record without its file";
        std::map<std::uint32_t, std::string> out;
        for (std::uint32_t uid : view.uids) {
            std::string text;
            EXPECT_TRUE(ms::ReadMessageFile(FileOf(folder, uid), text)) << "uid " << uid;
            out[uid] = text;
        }
        const std::uint32_t n = static_cast<std::uint32_t>(view.uids.size());
        EXPECT_EQ((std::vector<std::uint32_t>{view.stat.totalMsgs, view.stat.recentMsgs, view.stat.unseenMsgs,
                                              view.stat.uidNext}),
                  (std::vector<std::uint32_t>{n, n, n, n + 1}));
        for (std::size_t i = 0; i < view.uids.size(); ++i)
            EXPECT_EQ(view.uids[i], i + 1) << "UIDs are dense when nothing was expunged";
        return out;
    }

    testsupport::TempDir tmp;
    std::string storeHome = tmp / "store";
    std::string home = tmp / "bare/alice";
    std::unique_ptr<ms::UsersDirectory> users;
    diamondBase base;

private:
    std::list<std::string> texts_; // stable: requests view these
};

} // namespace storetest
