// CMsgStore over a real store home: profiles, permissions, and filing through
// AddUserMsg and AddSharedMsg with the codes the agent branches on.
#include "AgentMessage.h"
#include "StoreFixture.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/StoreCodes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace {

namespace ms = locmail::msgstore;
namespace fs = std::filesystem;

using Message = storetest::AgentMessage;

Message Sample(const std::string& subject, std::uint32_t systemFlags = 0)
{
    return Message("From: Carol <carol@example.net>\r\nTo: alice@example.org\r\nSubject: " + subject +
                       "\r\n\r\nHello,\r\nthis is " + subject + ".\r\n",
                   systemFlags);
}

// The code of the CMsgStoreException that CALL throws; 0 when it throws none.
int CodeOf(const std::function<void()>& call, std::string* text = nullptr)
{
    try {
        call();
    } catch (const CMsgStoreException& e) {
        if (text != nullptr)
            *text = e.GetMessage();
        return e.GetCode();
    }
    return 0;
}

class CMsgStoreTest : public storetest::StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        AddAccount("Alice@Example.org");
        AddAccount("bob@example.org", false, false);
        AddAccount("support@example.org", true);
    }

    _msgstat StoredStat(const std::string& address, const std::string& folder, std::uint32_t uid)
    {
        msgstat rel(&base, FolderDir(address, folder).c_str(), "msgstat");
        _msgstat st{};
        EXPECT_EQ(ms::GetMsgStat(rel, uid, st), ms::kOk);
        return st;
    }

    CMsgStore store{storeHome.c_str()};
};

// The message file, its counters and its UIDs are FilingTest's; here what CMsgStore adds.
TEST_F(CMsgStoreTest, FilingDescribesTheParsedMessageAndReusesItsDatabases)
{
    Message first = Sample("first");
    first.FileFor(store, "Alice@Example.org");
    const std::string dir = FolderDir("alice@example.org", "inbox");
    msgenv env(&base, dir.c_str(), "msgenv");
    std::string envelope;
    ASSERT_EQ(ms::GetMsgEnv(env, idxkey{1, 0}, envelope), ms::kOk);
    EXPECT_NE(envelope.find("\"first\""), std::string::npos) << envelope;
    msgbody body(&base, dir.c_str(), "msgbody");
    ASSERT_EQ(ms::GetMsgBody(body, idxkey{1, 0}, envelope), ms::kOk);
    EXPECT_EQ(envelope.rfind("(\"TEXT\" \"PLAIN\"", 0), 0u) << envelope;
    EXPECT_EQ(StoredStat("alice@example.org", "inbox", 1).headerSize, first.stat.headerSize);

    // The second filing reuses every database the first one opened.
    const auto opened = diamondBase::OpenCount();
    Message second = Sample("second");
    second.FileFor(store, "alice@example.org");
    EXPECT_EQ(diamondBase::OpenCount(), opened);
    EXPECT_EQ(Stored("alice@example.org", "inbox", 2), second.text);
    EXPECT_EQ(store.GetLastError(), 0);
    EXPECT_GT(locmail::db::PendingSyncCount(), 0u) << "nothing synced per message";
    EXPECT_EQ(store.MakeDurable(), 0);
    EXPECT_EQ(locmail::db::PendingSyncCount(), 0u);
}

// A profile not found makes every call on it throw the lookup's code; a found one clears the code.
TEST_F(CMsgStoreTest, ProfilesAreFoundInAnyCaseWithTheirPermissions)
{
    const std::string tooLong(1024, 'a'); // longer than an address field
    struct Case { const char* address; int code; bool shared, mayLogin, mayReceive; } cases[] = {
        {"alice@example.org", 0, false, true, true},
        {"nobody@example.org", ms::kCodeUnknownRecipient, false, false, false},
        {"ALICE@EXAMPLE.ORG", 0, false, true, true},
        {nullptr, ms::kCodeBadAddress, false, false, false},
        {"bob@example.org", 0, false, true, false},
        {"", ms::kCodeBadAddress, false, false, false},
        {"Support@Example.org", 0, true, false, true},
        {tooLong.c_str(), ms::kCodeBadAddress, false, false, false},
        {"support", 0, true, false, true}, // a shared mailbox also by its local part
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address ? c.address : "(null)");
        store.SetProfile(c.address);
        EXPECT_EQ(store.GetLastError(), c.code);
        bool mayLogin = true, mayReceive = true;
        char home[1024] = "unchanged";
        if (c.code != 0) {
            EXPECT_EQ(CodeOf([&] { store.IsShared(); }), c.code);
            EXPECT_EQ(CodeOf([&] { store.GetUserPermission(mayLogin, mayReceive); }), c.code);
            EXPECT_EQ(CodeOf([&] { store.GetUserHomeDir(home); }), c.code);
            continue;
        }
        store.GetUserPermission(mayLogin, mayReceive);
        EXPECT_EQ((std::vector<bool>{store.IsShared(), mayLogin, mayReceive}),
                  (std::vector<bool>{c.shared, c.mayLogin, c.mayReceive}));
    }
    char home[1024];
    store.SetProfile("Alice@Example.Org");
    store.GetUserHomeDir(home);
    EXPECT_EQ(std::string(home), HomeOf("alice@example.org"));
}

TEST_F(CMsgStoreTest, EveryFailureThrowsItsCodeAndKeepsItAsLastError)
{
    AddAccount("gone@example.org");
    fs::remove_all(HomeOf("gone@example.org"));
    Message m = Sample("fails");
    auto user = [&](const char* who, const char* to) { return [&, who, to] { m.FileFor(store, who, to); }; };
    auto shared = [&](const char* box, const char* to) { return [&, box, to] { m.FileShared(store, box, to); }; };
    struct Case { const char* name; std::function<void()> call; int code; } cases[] = {
        {"unknown user", user("nobody@example.org", "inbox"), ms::kCodeUnknownRecipient},
        {"shared address as user", user("support@example.org", "inbox"), ms::kCodeUnknownRecipient},
        {"null user", user(nullptr, "inbox"), ms::kCodeBadAddress},
        {"missing folder", user("alice@example.org", "Projects"), ms::kCodeNoSuchFolder},
        {"home gone", user("gone@example.org", "inbox"), ms::kCodeMailboxUnavailable},
        {"unknown shared", shared("nobody", ""), ms::kCodeUnknownSharedMailbox},
        {"user as shared", shared("alice@example.org", ""), ms::kCodeUnknownSharedMailbox},
        {"missing shared folder", shared("support", "Open"), ms::kCodeNoSuchFolder},
    };
    for (const auto& c : cases) {
        store.SetLastError(0);
        std::string text;
        EXPECT_EQ(CodeOf(c.call, &text), c.code) << c.name;
        EXPECT_EQ(store.GetLastError(), c.code) << c.name;
        EXPECT_STREQ(store.GetLastErrorMsg(), text.c_str()) << c.name;
        EXPECT_FALSE(text.empty()) << c.name;
    }
    EXPECT_EQ(View("alice@example.org", "inbox").stat.uidNext, 1u) << "nothing was filed";
}

TEST_F(CMsgStoreTest, AStoreThatCannotBeOpenedIsCodeFour)
{
    testsupport::TempDir other;
    testsupport::WriteFile(other / "users.db", "not a database at all, but long enough to be read as one");
    const std::string cases[] = {"", other.path().string()};
    Message m = Sample("unavailable");
    for (const std::string& home : cases) {
        CMsgStore broken(home.c_str());
        broken.SetProfile("alice@example.org");
        EXPECT_EQ(broken.GetLastError(), ms::kCodeStoreUnavailable) << home;
        EXPECT_EQ(CodeOf([&] { broken.IsShared(); }), ms::kCodeStoreUnavailable) << home;
        EXPECT_EQ(CodeOf([&] { m.FileFor(broken, "alice@example.org"); }), ms::kCodeStoreUnavailable) << home;
    }
}

// One mailbox that fails, for good (18) or for now (17), holds up nobody
// else, and takes mail again once it is repaired.
TEST_F(CMsgStoreTest, AFailingMailboxHoldsUpNobodyElse)
{
    const std::string alice = HomeOf("alice@example.org");
    const std::string mailboxDb = alice + "/mailbox.db";
    const std::string msgstatDb = alice + "/inbox696E626F78/msgstat.db";
    const std::string users = storeHome + "/users";
    using Change = std::pair<std::function<void()>, std::function<void()>>; // damage, repair
    auto replaced = [](const std::string& path, const std::function<void()>& make) {
        return Change{[=] { fs::rename(path, path + ".saved"), make(); },
                      [=] { fs::remove_all(path), fs::rename(path + ".saved", path); }};
    };
    auto garbage = [](const std::string& path) { return [=] { testsupport::WriteFile(path, std::string(4096, 'x')); }; };
    auto mode = [](const std::string& path, mode_t repaired) {
        return Change{[=] { ::chmod(path.c_str(), 0); }, [=] { ::chmod(path.c_str(), repaired); }};
    };
    // Damage is the store not being readable: the copy waits for an operator, it is not returned.
    // Root reads and searches whatever a mode says: the last two rows need another user.
    struct Case { const char* name; Change change; bool makeFolder, failsAsRoot; } cases[] = {
        {"corrupt mailbox", replaced(mailboxDb, garbage(mailboxDb)), false, true},
        {"corrupt mailbox, folder made", replaced(mailboxDb, garbage(mailboxDb)), true, true},
        {"corrupt msgstat", replaced(msgstatDb, garbage(msgstatDb)), false, true},
        {"unreadable mailbox.db", mode(mailboxDb, 0600), false, false},
        {"home cannot be looked at", mode(users, 0755), false, false},
    };
    Message m = Sample("fails");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.failsAsRoot && ::geteuid() == 0)
            continue; // GTEST_SKIP would skip the rows after it too
        diamondBase::CloseAll(); // folds the WAL in, so the file alone is the relation
        c.change.first();
        std::string text;
        EXPECT_EQ(CodeOf([&] { m.FileFor(store, "alice@example.org", "inbox", false, c.makeFolder); }, &text),
                  ms::kCodeMailboxUnavailable)
            << text;
        EXPECT_NE(text.find(alice), std::string::npos) << text;
        EXPECT_EQ(CodeOf([&] { m.FileShared(store, "support", ""); }, &text), 0) << text; // a home elsewhere
        diamondBase::CloseAll();
        c.change.second();
    }
    m.FileFor(store, "alice@example.org");
    EXPECT_EQ(View("alice@example.org", "inbox").stat.uidNext, 2u) << "the repaired mailbox takes mail again";
}

TEST_F(CMsgStoreTest, SharedMailboxesFileIntoTheirInboxAndRulesMayMakeFolders)
{
    Message delivered = Sample("to support"), moved = Sample("moved by a rule"), copied = Sample("copied");
    delivered.FileShared(store, "Support@Example.org", "");
    moved.FileShared(store, "Support", "Open", true);
    copied.FileShared(store, "support", nullptr, true);
    EXPECT_EQ(Stored("support@example.org", "inbox", 1), delivered.text);
    EXPECT_EQ(Stored("support@example.org", "Open", 1), moved.text);
    EXPECT_EQ(View("support@example.org", "inbox").stat.uidNext, 3u) << "a null folder is the inbox";
}

TEST_F(CMsgStoreTest, MigrationMakesFoldersAndKeepsTheFlagsOnlyWhenAskedTo)
{
    constexpr std::uint32_t kSeen = 1;
    struct Case { const char* folder; bool ownFlags, makeFolder; int code; std::uint32_t storedFlags; } cases[] = {
        {"Archive\\2019", false, false, ms::kCodeNoSuchFolder, 0}, // ordinary delivery makes nothing
        {"Archive\\2019", false, true, 0, 0},                     // migration from a file
        {"Archive\\2019", true, true, 0, kSeen},                  // migration from memory
        {"inbox", false, false, 0, 0},                            // delivered mail arrives new
    };
    std::uint32_t uid = 0;
    for (const auto& c : cases) {
        Message m = Sample(c.folder, kSeen);
        EXPECT_EQ(CodeOf([&] { m.FileFor(store, "alice@example.org", c.folder, c.ownFlags, c.makeFolder); }),
                  c.code)
            << c.folder;
        if (c.code != 0)
            continue;
        const std::string folder = c.folder;
        uid = folder == "inbox" ? 1 : uid + 1;
        EXPECT_EQ(StoredStat("alice@example.org", folder, uid).systemFlags, c.storedFlags) << c.folder;
    }
    EXPECT_EQ(View("alice@example.org", "Archive").stat.uidNext, 1u) << "the level above was made too";
    EXPECT_EQ(View("alice@example.org", "Archive\\2019").stat.totalMsgs, 2u);
}

} // namespace
