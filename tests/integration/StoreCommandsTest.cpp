// The store commands end to end: user, shared and store on real installations.
#include "integration/LocmailCommand.h"
#include "suite/cclient/MessageParser.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"

#include <gtest/gtest.h>

#include <sysexits.h>

#include <filesystem>

namespace {

using testsupport::Installation;
namespace fs = std::filesystem;

bool Has(const std::string& output, const std::string& text) { return output.find(text) != std::string::npos; }

// The home directory `user add` reported ("..., home PATH").
std::string ReportedHome(const std::string& output)
{
    auto at = output.find(", home ");
    if (at == std::string::npos)
        return {};
    auto end = output.find_first_of(" ;\n", at + 7);
    return output.substr(at + 7, end - at - 7);
}

// Files TEXT into FOLDER of USER as the agent does, through CMsgStore.
void File(const Installation& inst, const std::string& user, const std::string& text, const char* folder = "inbox",
          bool makeFolder = false)
{
    const std::size_t header = text.find("\r\n\r\n") + 2;
    auto parsed = locmail::cclient::ParseMessage(text.data(), header, text.data() + header + 2,
                                                 text.size() - header - 2);
    _msgstat stat{};
    stat.day = 24;
    stat.month = 12;
    stat.year = 56;
    stat.hours = 9;
    stat.minutes = 5;
    stat.size = static_cast<std::uint32_t>(text.size());
    stat.headerSize = static_cast<std::uint32_t>(header);
    CMsgStore store((inst.Dir() + "/store").c_str());
    store.AddUserMsg(user.c_str(), parsed.body.get(), parsed.envelope.get(), &stat, text.data(), text.size(), folder,
                     false, makeFolder);
}

TEST(StoreCommands, InitMakesTheStoreHomeAndRunningItAgainKeepsTheUsers)
{
    Installation inst;
    const std::string store = inst.Dir() + "/store";
    for (const char* name : locmail::msgstore::kTemplateFiles)
        EXPECT_TRUE(locmail::FileExists(locmail::PathJoin(store, name))) << name;
    EXPECT_TRUE(locmail::FileExists(store + "/users.db"));
    EXPECT_TRUE(locmail::IsDirectory(store + "/users"));
    EXPECT_TRUE(locmail::IsDirectory(store + "/shared"));

    ASSERT_EQ(inst.Run({"user", "add", "alice@example.org"}).exitCode, 0);
    auto again = testsupport::RunLocmail({"init", inst.Dir()});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    auto list = inst.Run({"user", "list"});
    EXPECT_TRUE(Has(list.output, "alice@example.org")) << list.output;
    EXPECT_TRUE(Has(list.output, "1 user(s)")) << list.output;
}

TEST(StoreCommands, UsersAreAddedListedAndRemovedKeepingTheirMailUnlessPurged)
{
    Installation inst;
    auto alice = inst.Run({"user", "add", "Alice@Example.org", "--name", "Alice Smith"});
    ASSERT_EQ(alice.exitCode, 0) << alice.output;
    EXPECT_TRUE(Has(alice.output, "added user Alice@Example.org")) << alice.output;
    const std::string aliceHome = ReportedHome(alice.output);
    EXPECT_TRUE(locmail::IsDirectory(aliceHome)) << alice.output;
    auto bob = inst.Run({"user", "add", "bob@example.org", "--no-receive"});
    ASSERT_EQ(bob.exitCode, 0) << bob.output;
    EXPECT_TRUE(Has(bob.output, "may not receive mail")) << bob.output;
    const std::string bobHome = ReportedHome(bob.output);

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } refusals[] = {
        {{"user", "add", "ALICE@example.org"}, EX_DATAERR, "registered already"},
        {{"user", "add", "two words@example.org"}, EX_DATAERR, "blank"},
        {{"user", "remove", "nobody@example.org"}, EX_NOUSER, "not registered"},
        {{"user", "add"}, EX_USAGE, "ADDRESS"},
    };
    for (const auto& c : refusals) {
        auto run = inst.Run(c.args);
        EXPECT_EQ(run.exitCode, c.status) << run.output;
        EXPECT_TRUE(Has(run.output, c.says)) << run.output;
    }

    auto list = inst.Run({"user", "list"});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_TRUE(Has(list.output, "Alice@Example.org                yes     Alice Smith")) << list.output;
    EXPECT_TRUE(Has(list.output, "bob@example.org                  no")) << list.output;
    EXPECT_TRUE(Has(list.output, "2 user(s)")) << list.output;

    auto removed = inst.Run({"user", "remove", "alice@example.org"});
    ASSERT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_TRUE(Has(removed.output, "its mail stays in " + aliceHome)) << removed.output;
    EXPECT_TRUE(locmail::IsDirectory(aliceHome));
    auto purged = inst.Run({"user", "remove", "BOB@example.org", "--purge"});
    ASSERT_EQ(purged.exitCode, 0) << purged.output;
    EXPECT_TRUE(Has(purged.output, "deleted " + bobHome)) << purged.output;
    EXPECT_FALSE(fs::exists(bobHome));
    EXPECT_TRUE(Has(inst.Run({"user", "list"}).output, "0 user(s)"));
}

TEST(StoreCommands, SharedMailboxesAreKeptApartFromUsers)
{
    Installation inst;
    auto add = inst.Run({"shared", "add", "Support"});
    ASSERT_EQ(add.exitCode, 0) << add.output;
    EXPECT_TRUE(Has(add.output, "added shared mailbox Support, home " + inst.Dir() + "/store/shared/")) << add.output;
    EXPECT_EQ(inst.Run({"shared", "add", "Sales/Open"}).exitCode, EX_DATAERR);
    EXPECT_EQ(inst.Run({"user", "add", "support"}).exitCode, EX_DATAERR) << "one name, one account";

    auto shared = inst.Run({"shared", "list"});
    EXPECT_TRUE(Has(shared.output, "Support")) << shared.output;
    EXPECT_TRUE(Has(shared.output, "1 shared mailbox(es)")) << shared.output;
    EXPECT_TRUE(Has(inst.Run({"user", "list"}).output, "0 user(s)"));
    auto wrong = inst.Run({"user", "remove", "support"});
    EXPECT_EQ(wrong.exitCode, EX_USAGE);
    EXPECT_TRUE(Has(wrong.output, "locmail shared remove")) << wrong.output;

    // Mail for support@<any domain> reaches it; its folders are listed like a user's.
    auto ls = inst.Run({"store", "ls", "support@example.org"});
    EXPECT_EQ(ls.exitCode, 0) << ls.output;
    EXPECT_TRUE(Has(ls.output, "1 folder(s) of Support")) << ls.output;
}

TEST(StoreCommands, StoreLsAndShowGiveBackExactlyWhatWasFiled)
{
    Installation inst;
    ASSERT_EQ(inst.Run({"user", "add", "alice@example.org"}).exitCode, 0);
    const std::string lunch = "From: Carol <carol@example.net>\r\nTo: alice@example.org\r\nSubject: Lunch\r\n"
                              "\r\nNoon?\r\n";
    const std::string binary = std::string("From: dave@example.net\r\nSubject: Bytes\r\n X\tfolded\r\n\r\n") +
                               std::string("nul \0 and \xff\xfe bytes,\r\nno final line end", 38);
    File(inst, "alice@example.org", lunch);
    File(inst, "ALICE@example.org", binary);
    File(inst, "alice@example.org", lunch, "Archive\\2019", true);

    auto folders = inst.Run({"store", "ls", "alice@example.org"});
    ASSERT_EQ(folders.exitCode, 0) << folders.output;
    EXPECT_TRUE(Has(folders.output, "inbox                                   2        2")) << folders.output;
    EXPECT_TRUE(Has(folders.output, "Archive\\2019                            1        1")) << folders.output;
    EXPECT_TRUE(Has(folders.output, "3 folder(s) of alice@example.org")) << folders.output;

    auto messages = inst.Run({"store", "ls", "Alice@Example.org", "inbox"});
    ASSERT_EQ(messages.exitCode, 0) << messages.output;
    EXPECT_TRUE(Has(messages.output, "     1  2026-12-24 09:05        " + std::to_string(lunch.size()) +
                                         "  carol@example.net                Lunch"))
        << messages.output;
    EXPECT_TRUE(Has(messages.output, "dave@example.net                 Bytes X folded")) << messages.output;
    EXPECT_TRUE(Has(messages.output, "2 message(s) in inbox of alice@example.org")) << messages.output;

    struct Shown {
        std::vector<std::string> args;
        std::string text;
    } shown[] = {
        {{"store", "show", "alice@example.org", "inbox", "1"}, lunch},
        {{"store", "show", "alice@example.org", "inbox", "2"}, binary},
        {{"store", "show", "alice@example.org", "Archive/2019", "1"}, lunch},
    };
    for (const auto& s : shown) {
        auto run = inst.Run(s.args);
        EXPECT_EQ(run.exitCode, 0) << s.args[3];
        EXPECT_EQ(run.output, s.text) << s.args[3];
    }

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } refusals[] = {
        {{"store", "show", "alice@example.org", "inbox", "3"}, EX_NOINPUT, "no message 3"},
        {{"store", "show", "alice@example.org", "inbox", "0"}, EX_USAGE, "UID"},
        {{"store", "ls", "alice@example.org", "Projects"}, EX_NOINPUT, "no folder 'Projects'"},
        {{"store", "ls", "nobody@example.org"}, EX_NOUSER, "locmail user list"},
    };
    for (const auto& c : refusals) {
        auto run = inst.Run(c.args);
        EXPECT_EQ(run.exitCode, c.status) << run.output;
        EXPECT_TRUE(Has(run.output, c.says)) << run.output;
    }
}

TEST(StoreCommands, ExplainAMissingConfiguration)
{
    testsupport::TempDir temp;
    for (const char* group : {"user", "shared"}) {
        auto run = testsupport::RunLocmail({"--config", temp / "none.ini", group, "list"});
        EXPECT_EQ(run.exitCode, EX_CONFIG);
        EXPECT_TRUE(Has(run.output, "locmail init")) << run.output;
    }
}

} // namespace
