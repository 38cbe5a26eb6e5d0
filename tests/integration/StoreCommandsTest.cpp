// The store commands end to end: user, shared and store on real installations.
#include "filing/FileMessage.h"
#include "integration/RunSupport.h"
#include "suite/cclient/FlagParser.h"
#include "suite/msgstore/AgentMessage.h"
#include "suite/msgstore/HomeName.h"
#include "suite/platform/Files.h"

#include <gtest/gtest.h>

#include <sysexits.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

TEST(StoreCommands, UsersAndSharedMailboxesAreAddedListedAndRemovedKeepingTheirMailUnlessPurged)
{
    Installation inst;
    const std::string users = inst.Dir() + "/store/users/";
    const std::string alice = users + locmail::msgstore::HomeDirectoryName("alice@example.org");
    const std::string bob = users + locmail::msgstore::HomeDirectoryName("bob@example.org");
    RunSteps(
        inst,
        {
            {{"user", "add", "Alice@Example.org", "--name", "Alice Smith"},
             0,
             {"added user Alice@Example.org, home " + alice}},
            {{"user", "add", "bob@example.org", "--no-receive"}, 0, {"may not receive mail"}},
            {{"shared", "add", "Support"}, 0, {"added shared mailbox Support, home " + inst.Dir() + "/store/shared/"}},
            {{"user", "add", "ALICE@example.org"}, EX_DATAERR, {"registered already"}},
            {{"user", "add", "two words@example.org"}, EX_DATAERR, {"is not an address (its local part holds ' '"}},
            {{"user", "add", "noat"}, EX_DATAERR, {"is not an address (has no '@')"}},
            {{"shared", "add", "Sales/Open"}, EX_DATAERR, {}},
            {{"user", "remove", "nobody@example.org"}, EX_NOUSER, {"not registered"}},
            {{"user", "remove", "support"}, EX_USAGE, {"locmail shared remove"}},
            {{"user", "add"}, EX_USAGE, {"ADDRESS"}},
            {{"user", "list"},
             0,
             {"Alice@Example.org                yes     Alice Smith", "bob@example.org                  no",
              "2 user(s)"}},
            {{"shared", "list"}, 0, {"Support", "1 shared mailbox(es)"}},
            {{"user", "list", "--json"},
             0,
             {R"({"address":"Alice@Example.org","receive":true,"name":"Alice Smith","home":"users/alice@example.org-)",
              R"({"address":"bob@example.org","receive":false,"name":"","home":")"}},
            {{"shared", "list", "--json"}, 0, {R"({"name":"Support","home":"shared/support-)"}},
            // Mail for support@<any domain> reaches it; its folders are listed like a user's.
            {{"store", "ls", "support@example.org"}, 0, {"1 folder(s) of Support"}},
            {{"user", "remove", "alice@example.org"}, 0, {"its mail stays in " + alice}},
            {{"user", "remove", "BOB@example.org", "--purge"}, 0, {"deleted " + bob}},
            {{"user", "list"}, 0, {"0 user(s)"}},
        });
    EXPECT_TRUE(locmail::IsDirectory(alice));
    EXPECT_FALSE(fs::exists(bob));
}

TEST(StoreCommands, StoreLsAndShowGiveBackExactlyWhatWasFiled)
{
    Installation inst;
    MustRun(inst, {"user", "add", "alice@example.org"});
    const std::string lunch = "From: Carol <carol@example.net>\r\nTo: alice@example.org\r\nSubject: Lunch\r\n"
                              "\r\nNoon?\r\n";
    const std::string binary = std::string("From: dave@example.net\r\nSubject: Bytes\r\n X\tfolded\r\n\r\n") +
                               std::string("nul \0 and \xff\xfe bytes,\r\nno final line end", 38);
    CMsgStore store((inst.Dir() + "/store").c_str());
    storetest::AgentMessage(lunch).FileFor(store, "alice@example.org");
    storetest::AgentMessage(binary).FileFor(store, "ALICE@example.org");
    storetest::AgentMessage(lunch, locmail::cclient::kSeen | locmail::cclient::kAnswered | locmail::cclient::kOld)
        .FileFor(store, "alice@example.org", "Archive\\2019", true, true);
    // The agent's spam filing names its folder with a leading separator; the store's commands name it plainly.
    testsupport::WriteFile(inst.Dir() + "/spam.msg", binary);
    setenv("LOCMAIL_CONFIG", inst.Config().c_str(), 1);
    std::string home(1024, '\0');
    store.SetProfile("alice@example.org");
    store.GetUserHomeDir(home.data());
    ASSERT_TRUE(locmail::filing::FileMessage(home.c_str(), (inst.Dir() + "/spam.msg").c_str(), "\\Junk"));
    unsetenv("LOCMAIL_CONFIG");

    const std::string alice = "alice@example.org";
    RunSteps(inst,
             {
                 {{"store", "ls", alice},
                  0,
                  {"inbox                                   2        2",
                   "Archive\\2019                            1        1",
                   "Junk                                    1        1", "4 folder(s) of alice@example.org"}},
                 {{"store", "ls", alice, "\\Junk"}, 0, {"1 message(s) in Junk of alice@example.org"}},
                 {{"store", "ls", "Alice@Example.org", "inbox"},
                  0,
                  {"     1  2026-12-06 09:05        " + std::to_string(lunch.size()) + "  -" + std::string(20, ' ') +
                       "carol@example.net" + std::string(16, ' ') + "Lunch",
                   "dave@example.net                 Bytes X folded", "2 message(s) in inbox of alice@example.org"}},
                 {{"store", "ls", alice, "Archive/2019"}, 0, {"  \\Seen \\Answered      carol@example.net"}},
                 {{"store", "ls", alice, "Archive/2019", "--json"},
                  0,
                  {R"({"uid":1,"readable":true,"date":"2026-12-06T09:05:00+00:00","size":)",
                   R"("flags":["\\Seen","\\Answered"],"from":"carol@example.net","subject":"Lunch"})"}},
                 {{"store", "ls", alice, "--json"}, 0, {R"({"folder":"Archive\\2019","messages":1,"unseen":1})"}},
                 {{"store", "show", alice, "inbox", "3"}, EX_NOINPUT, {"no message 3"}},
                 {{"store", "show", alice, "inbox", "0"}, EX_USAGE, {"UID"}},
                 {{"store", "ls", alice, "Projects"}, EX_NOINPUT, {"no folder 'Projects'"}},
                 {{"store", "ls", "nobody@example.org"}, EX_NOUSER, {"locmail user list"}},
             });

    EXPECT_EQ(Filed(inst, alice, 1), lunch);
    EXPECT_EQ(Filed(inst, alice, 2), binary);
    EXPECT_EQ(Filed(inst, alice, 1, "Archive/2019"), lunch);
}

// The messages of an mboxrd file, unquoted and with CRLF line ends again.
std::vector<std::string> ReadMbox(const std::string& text)
{
    std::vector<std::string> messages;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("From ")) {
            messages.emplace_back();
            continue;
        }
        if (std::size_t quotes = line.find_first_not_of('>'); quotes > 0 && line.find("From ", quotes) == quotes)
            line.erase(0, 1);
        messages.back() += line + "\r\n";
    }
    for (auto& message : messages)
        message.resize(message.size() - 2); // the empty line before the next one
    return messages;
}

TEST(StoreCommands, ExportWritesMaildirAndMboxThatReadBackToExactlyWhatWasFiled)
{
    Installation inst;
    MustRun(inst, {"user", "add", "alice@example.org"});
    const std::string lunch = "From: Carol <carol@example.net>\r\nSubject: Lunch\r\n\r\nNoon?\r\n";
    const std::string quoted = "Subject: Quote\r\n\r\nFrom me\r\n>From you\r\nFrom\r\n";
    CMsgStore store((inst.Dir() + "/store").c_str());
    storetest::AgentMessage(lunch).FileFor(store, "alice@example.org");
    storetest::AgentMessage(quoted).FileFor(store, "alice@example.org");
    using namespace locmail::cclient;
    storetest::AgentMessage(lunch, kSeen | kAnswered | kFlagged)
        .FileFor(store, "alice@example.org", "Old\\2019", true, true);
    const std::string maildir = inst.Dir() + "/md", mbox = inst.Dir() + "/all.mbox";
    RunSteps(
        inst,
        {
            {{"store", "export", "alice@example.org", "--maildir", maildir},
             0,
             {"exported 3 message(s) from 3 folder(s)"}},
            {{"store", "export", "alice@example.org", "inbox", "--maildir", maildir}, EX_CANTCREAT, {"give --force"}},
            {{"store", "export", "alice@example.org", "--mbox", mbox}, 0, {"exported 3 message(s)"}},
            {{"store", "export", "alice@example.org", "Nothing", "--mbox", inst.Dir() + "/x"},
             EX_NOINPUT,
             {"no folder"}},
            {{"store", "export", "nobody@example.org", "--mbox", inst.Dir() + "/x"}, EX_NOUSER, {}},
            {{"store", "export", "alice@example.org"}, EX_USAGE, {"--maildir"}},
        });
    EXPECT_FALSE(fs::exists(inst.Dir() + "/x"));

    const time_t filed = 1796547900; // AgentMessage's receipt time, 2026-12-06 09:05 in UTC
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"/cur", {"inbox", ":2,"}}, {"/.Old/cur", {"Old", ":2,"}}, {"/.Old.2019/cur", {"Old/2019", ":2,FRS"}}};
    std::size_t files = 0;
    for (const auto& [dir, folderAndInfo] : expected) {
        for (const auto& entry : fs::directory_iterator(maildir + dir)) {
            const std::string name = entry.path().filename();
            const std::string uid =
                name.substr(name.find(".U") + 2, name.find('F', name.find(".U")) - name.find(".U") - 2);
            EXPECT_TRUE(name.ends_with(folderAndInfo.second)) << name;
            EXPECT_EQ(testsupport::ReadFile(entry.path()),
                      Filed(inst, "alice@example.org", std::stoul(uid), folderAndInfo.first))
                << name;
            struct stat st {};
            ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mtime, filed) << name;
            ++files;
        }
    }
    EXPECT_EQ(files, 3u);
    EXPECT_TRUE(fs::exists(maildir + "/.Old.2019/maildirfolder"));

    std::string seen = Filed(inst, "alice@example.org", 1, "Old/2019");
    seen.insert(seen.find("\r\n\r\n") + 2, "Status: RO\r\nX-Status: AF\r\n");
    EXPECT_EQ(
        ReadMbox(testsupport::ReadFile(mbox)),
        (std::vector<std::string>{Filed(inst, "alice@example.org", 1), Filed(inst, "alice@example.org", 2), seen}));
    EXPECT_NE(testsupport::ReadFile(mbox).find("\n>From me\n>>From you\nFrom\n"), std::string::npos);

    // The export read back by `migrate` into bob's mailbox, as another mail system's mailbox would be.
    MustRun(inst, {"user", "add", "bob@example.org"});
    WriteFile(inst.Dir() + "/people.ldif", "dn: uid=bob,dc=example,dc=org\nuid: bob\n"
                                           "othermailbox: OLD$alice\nothermailbox: local$bob@example.org\n");
    SetConfig(inst, "Ldap", "LdifFile", inst.Dir() + "/people.ldif");
    const std::string noEnd = "Subject: no end\r\n\r\nlast line";
    WriteFile(maildir + "/cur/1796547901.M1P1.old:2,FS", noEnd);
    const std::vector<std::string> fromMaildir = {"--connector", "OLD", "--user", "alice", "--maildir", maildir};
    const std::vector<std::string> fromMbox = {"--connector", "OLD", "--user", "alice",
                                               "--mbox", mbox, "--folder", "Old/Mbox"};
    auto migrate = [](std::vector<std::string> args) {
        args.insert(args.begin(), "migrate");
        return args;
    };
    RunSteps(inst, {
                       {migrate(fromMaildir), 0, {"imported 3, already there 0, skipped 0"}},
                       {migrate(fromMbox), 0, {"imported 3, already there 0, skipped 0"}},
                       {migrate(fromMaildir), 0, {"imported 0, already there 3, skipped 0"}},
                       {migrate(fromMbox), 0, {"imported 0, already there 3, skipped 0"}},
                       {{"migrate", "--connector", "OLD", "--user", "nobody", "--mbox", mbox}, EX_NOUSER, {"nobody"}},
                       {{"migrate", "--connector", "OLD", "--user", "alice", "--mbox", maildir}, EX_NOINPUT, {}},
                       {{"migrate", "--connector", "OLD", "--user", "alice"}, EX_USAGE, {}},
                   });
    EXPECT_EQ(Filed(inst, "bob@example.org", 1), Filed(inst, "alice@example.org", 1));
    EXPECT_EQ(Filed(inst, "bob@example.org", 2), Filed(inst, "alice@example.org", 2));
    EXPECT_EQ(Filed(inst, "bob@example.org", 3), noEnd);
    EXPECT_EQ(Filed(inst, "bob@example.org", 3, "Old/Mbox"), seen);
    RunSteps(inst, {{{"store", "ls", "bob@example.org", "Old/Mbox", "--json"},
                     0,
                     {R"({"uid":3,"readable":true,"date":"2026-12-06T09:05:00+00:00")",
                      R"("flags":["\\Seen","\\Answered","\\Flagged"])"}},
                    {{"store", "ls", "bob@example.org", "inbox", "--json"},
                     0,
                     {R"({"uid":3,"readable":true,"date":")", R"("flags":["\\Seen","\\Flagged"])"}}});
}

} // namespace
