// Home names, the store home and its templates, the users directory and the
// life cycle of accounts.
#include "StoreFixture.h"

#include "suite/msgstore/HomeName.h"
#include "suite/msgstore/Relations.h"

#include <set>

namespace {

namespace ms = locmail::msgstore;
namespace fs = std::filesystem;

TEST(HomeName, IsReadableSafeAndTheSameInEveryCase)
{
    struct Case {
        std::string address;
        std::string readable; // the part before the hash
    } cases[] = {
        {"alice@example.org", "alice@example.org"},
        {"Alice.Smith@Example.ORG", "alice.smith@example.org"},
        {"../../etc@x", "_._.__etc@x"},
        {".hidden@x", "_hidden@x"},
        {"a/b\\c@x", "a_b_c@x"},
        {std::string("tab\there\nnul\0x", 14), "tab_here_nul_x"},
        {"caf\xC3\xA9@x", "caf__@x"},
        {"", "_"},
        {std::string(100, 'z'), std::string(ms::kHomeNameReadableMax, 'z')},
    };
    std::set<std::string> names;
    for (const auto& c : cases) {
        // The readable part as wanted, then '-' and eight hex digits.
        const std::string name = ms::HomeDirectoryName(c.address);
        EXPECT_EQ(name.substr(0, name.size() - 8), c.readable + "-") << name;
        EXPECT_EQ(name.find_first_not_of("0123456789abcdef", c.readable.size() + 1), std::string::npos) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(cases)) << "distinct addresses, distinct names";
    EXPECT_EQ(ms::HomeDirectoryName("BOB@X.ORG"), ms::HomeDirectoryName("bob@x.org"));
    EXPECT_NE(ms::HomeDirectoryName("a_b@x"), ms::HomeDirectoryName("a/b@x")) << "the hash tells them apart";
}

class AccountsTest : public storetest::StoreFixture {
protected:
    ms::AccountOutcome Add(const std::string& address, bool shared = false, bool mayReceive = true)
    {
        ms::Account a;
        a.address = address;
        a.name = "Name of " + address;
        a.shared = shared;
        a.mayReceive = mayReceive;
        return ms::AddAccount(*users, store, a);
    }

    const std::string& store = storeHome;
};

TEST_F(AccountsTest, StoreHomeIsPreparedOnceAndLeftAloneAfterwards)
{
    ASSERT_TRUE(Add("alice@example.org").status == ms::AccountStatus::Done);
    const auto stamp = fs::last_write_time(store + "/msgbody.db");
    std::string error;
    ASSERT_TRUE(ms::PrepareStoreHome(store, error)) << error;
    EXPECT_EQ(fs::last_write_time(store + "/msgbody.db"), stamp) << "complete templates are not rewritten";
    fs::remove(store + "/msgenv.str");
    ASSERT_TRUE(ms::PrepareStoreHome(store, error)) << error;
    EXPECT_TRUE(locmail::FileExists(store + "/msgenv.str")) << "a missing template is made again";
    ms::Account a;
    EXPECT_EQ(users->Find("alice@example.org", a), ms::DirectoryResult::Ok) << "accounts survive";
    EXPECT_FALSE(ms::WriteStoreTemplates(tmp / "missing", error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    const auto size = fs::file_size(store + "/msgenv.db");
    msgenv env(&base, store.c_str(), "msgenv");
    ASSERT_TRUE(env.isOpen()) << env.lastError();
    EXPECT_EQ(fs::file_size(store + "/msgenv.db"), size) << "a template opens with no schema to install";
}

TEST_F(AccountsTest, BadAddressesAreRefusedBeforeAnythingIsMade)
{
    struct Case { std::string address; bool shared; } cases[] = {
        {"", false},          {std::string(1024, 'a'), false}, {"two words@x", false},
        {"ctl\x01@x", false}, {"Support/Open", true},           {"Support\\Open", true},
        {".", false},         {"..", true},                      {"--help", false},
        {"-x@y", true},       {"@", false},                      {"@x", false},
        {"bob@", false},      {"noat", false},                   {"a@b_c", false},
    };
    for (const auto& c : cases) {
        auto out = Add(c.address, c.shared);
        EXPECT_EQ(out.status, ms::AccountStatus::BadAddress) << c.address;
        EXPECT_FALSE(out.detail.empty());
    }
    EXPECT_TRUE(fs::is_empty(store + "/users"));
    EXPECT_TRUE(fs::is_empty(store + "/shared"));
    EXPECT_EQ(Add(std::string(1021, 'a') + "@x").status, ms::AccountStatus::Done) << "1023 characters fit";
    EXPECT_EQ(Add("a/b@x").status, ms::AccountStatus::Done) << "a user's address may hold '/'";
}

TEST_F(AccountsTest, RegisteredHomesMustLieInsideTheStore)
{
    EXPECT_EQ(ms::HomePathOf(store, "users/../../etc"), std::nullopt);
    EXPECT_EQ(ms::HomePathOf(store, "users/.."), std::nullopt);
    EXPECT_EQ(ms::HomePathOf(store, "other/x"), std::nullopt);
    EXPECT_EQ(ms::HomePathOf(store, "shared/x"), store + "/shared/x");
}

TEST_F(AccountsTest, NameCollisionsGetAnotherHomeAndARemovedAccountGetsItsOwnBack)
{
    // Another address's home already sits where this one's would go.
    const std::string taken = store + "/users/" + ms::HomeDirectoryName("carol@x");
    fs::create_directories(taken);
    testsupport::WriteFile(taken + "/.locmail-address", "mallory@x\n");
    auto carol = Add("Carol@x");
    ASSERT_EQ(carol.status, ms::AccountStatus::Done) << carol.detail;
    EXPECT_EQ(carol.homePath, taken + "-2");
    EXPECT_FALSE(carol.reusedHome);
    EXPECT_EQ(testsupport::ReadFile(carol.homePath + "/.locmail-address"), "Carol@x\n");
    EXPECT_EQ(Add("CAROL@x").status, ms::AccountStatus::Exists);

    testsupport::WriteFile(carol.homePath + "/kept-mail", "x");
    auto removed = ms::RemoveAccount(*users, store, "CAROL@X", false, false);
    ASSERT_EQ(removed.status, ms::AccountStatus::Done) << removed.detail;
    EXPECT_TRUE(removed.removed);
    EXPECT_TRUE(locmail::FileExists(carol.homePath + "/kept-mail")) << "mail stays without --purge";
    ms::Account gone;
    EXPECT_EQ(users->Find("carol@x", gone), ms::DirectoryResult::NotFound);

    auto again = Add("carol@X");
    ASSERT_EQ(again.status, ms::AccountStatus::Done) << again.detail;
    EXPECT_EQ(again.homePath, carol.homePath);
    EXPECT_TRUE(again.reusedHome);
    EXPECT_TRUE(locmail::FileExists(again.homePath + "/kept-mail"));

    auto purged = ms::RemoveAccount(*users, store, "carol@x", false, true);
    ASSERT_EQ(purged.status, ms::AccountStatus::Done) << purged.detail;
    EXPECT_FALSE(fs::exists(carol.homePath));
    EXPECT_TRUE(fs::exists(taken)) << "the other home is untouched";
}

TEST_F(AccountsTest, SharedMailboxesAreFoundByAUniqueLocalPartAndRemovedByTheirKind)
{
    ASSERT_EQ(Add("support@example.org", true).status, ms::AccountStatus::Done);
    ASSERT_EQ(Add("Sales", true).status, ms::AccountStatus::Done);
    ASSERT_EQ(Add("team@one.example", true).status, ms::AccountStatus::Done);
    ASSERT_EQ(Add("team@two.example", true).status, ms::AccountStatus::Done);
    ASSERT_EQ(Add("eve@example.org").status, ms::AccountStatus::Done);

    struct Case { const char* name; ms::DirectoryResult want; const char* address; } cases[] = {
        {"Support", ms::DirectoryResult::Ok, "support@example.org"},
        {"support@elsewhere.example", ms::DirectoryResult::Ok, "support@example.org"},
        {"sales@example.org", ms::DirectoryResult::Ok, "Sales"},
        {"team", ms::DirectoryResult::Ambiguous, ""},
        {"eve", ms::DirectoryResult::NotFound, ""}, // users are found by their whole address only
        {"nobody", ms::DirectoryResult::NotFound, ""},
    };
    for (const auto& c : cases) {
        ms::Account a;
        EXPECT_EQ(users->FindSharedByLocalPart(c.name, a), c.want) << c.name;
        if (c.want == ms::DirectoryResult::Ok) {
            EXPECT_EQ(a.address, c.address) << c.name;
        }
    }
    EXPECT_EQ(ms::RemoveAccount(*users, store, "Sales", false, true).status, ms::AccountStatus::WrongKind);
    EXPECT_EQ(ms::RemoveAccount(*users, store, "eve@example.org", true, true).status, ms::AccountStatus::WrongKind);
    EXPECT_EQ(ms::RemoveAccount(*users, store, "nobody", false, false).status, ms::AccountStatus::NotFound);
    std::vector<ms::Account> all;
    ASSERT_EQ(users->List(all), ms::DirectoryResult::Ok);
    EXPECT_EQ(all.size(), 5u) << "nothing was removed";
}

} // namespace
