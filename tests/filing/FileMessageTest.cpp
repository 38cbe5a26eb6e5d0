// FileMessage over a real store: a new folder, the header split it records,
// the failure codes in step order, one record per folder shared with
// CMsgStore::AddUserMsg, and races with it from another process.
#include "filing/FileMessage.h"

#include "suite/msgstore/AgentMessage.h"
#include "suite/msgstore/StoreFixture.h"
#include "support/CaptureLog.h"
#include "support/FilingProbe.h"

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <set>

namespace {

namespace ms = locmail::msgstore;
using Lines = std::vector<std::string>;
using locmail::filing::FileMessage;

const char* const kAnn = "ann@example.org";
const std::string kText = "From: spammer@junk.example\r\nSubject: WIN\r\n\r\nBuy now\r\n";

class FileMessageTest : public storetest::StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        home = AddAccount(kAnn);
        testsupport::WriteFile(tmp / "qxmta.ini", "[MsgStore]\nHomeDir=" + storeHome + "\n");
        setenv("LOCMAIL_CONFIG", (tmp / "qxmta.ini").c_str(), 1);
    }
    void TearDown() override { unsetenv("LOCMAIL_CONFIG"); }

    std::string Message(const std::string& text, const std::string& name = "in.msg")
    {
        testsupport::WriteFile(tmp / name, text);
        return tmp / name;
    }
    std::string Dir(const std::string& folder) { return FolderDir(kAnn, folder); }
    ms::FolderView View(const std::string& folder) { return StoreFixture::View(kAnn, folder); }
    std::string Stored(const std::string& folder, std::uint32_t uid) { return StoreFixture::Stored(kAnn, folder, uid); }

    locmail::log::CaptureLog log;
};

TEST_F(FileMessageTest, MissingFolderIsMadeAndEachMessageRecordsItsHeaderSplit)
{
    struct Case { std::string text; std::uint32_t headerSize; } cases[] = {
        {kText, 42},
        {"", 0},
        {std::string("Subject: a\r\n\0\r\n\r\nx", 18), 12}, // a NUL ends the search
        {"Subject: a\r\n\r\n", 10},                         // the empty line is the last four bytes
    };
    std::uint32_t uid = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(FileMessage(home.c_str(), Message(c.text).c_str(), "my-spam"));
        msgstat stats(&base, Dir("my-spam").c_str(), "msgstat");
        _msgstat st{};
        ASSERT_EQ(ms::GetMsgStat(stats, ++uid, st), ms::kOk);
        EXPECT_EQ(st.headerSize, c.headerSize) << uid;
        EXPECT_EQ(st.size, c.text.size()) << uid;
        EXPECT_EQ(Stored("my-spam", uid), c.text);
    }
    EXPECT_EQ(View("my-spam").stat.uidNext, uid + 1);
    EXPECT_TRUE(log.LinesOf("Bayesian filter").empty());
}

TEST_F(FileMessageTest, EachFailingStepLogsItsCodeAndAFailedFilingIsUndone)
{
    struct Case {
        const char* home;
        std::string message;
        const char* folder;
        std::optional<ms::FilingStep> failAt;
        int code;
        bool junkExists; // afterwards
    } cases[] = {
        {home.c_str(), Message(kText), nullptr, std::nullopt, -1, false},
        {nullptr, Message(kText), "Junk", std::nullopt, -2, false},
        {home.c_str(), Message(kText), "a/b", std::nullopt, -3, false},
        {home.c_str(), tmp / "gone.msg", "Junk", std::nullopt, -4, true}, // the folder is made first
        {home.c_str(), tmp.path().string(), "Junk", std::nullopt, -7, true},
        {home.c_str(), Message(kText), "Bare", std::nullopt, -8, true},
        {home.c_str(), Message(kText), "Junk", ms::FilingStep::MessageFileText, -9, true}, // each step's undo: tests/suite/msgstore
    };
    std::filesystem::create_directories(Dir("Bare")); // a directory without its mailbox record
    for (const auto& c : cases) {
        log.Clear();
        std::optional<testsupport::FilingProbe> probe;
        if (c.failAt)
            probe.emplace(*c.failAt);
        EXPECT_FALSE(FileMessage(c.home, c.message.c_str(), c.folder));
        EXPECT_EQ(log.LinesOf("Bayesian filter"),
                  Lines{"1 Bayesian filter: FileMessage - Catch error: " + std::to_string(c.code)});
        EXPECT_EQ(std::filesystem::is_directory(Dir("Junk")), c.junkExists) << c.code;
    }
    ASSERT_TRUE(FileMessage(home.c_str(), Message(kText).c_str(), "Junk"));
    EXPECT_EQ(Stored("Junk", 1), kText) << "UID 1 given again";
}

// The agent's filing and the store's name a folder the same way, so both
// file into one record of one directory and no message overwrites another.
TEST_F(FileMessageTest, AgentAndStoreFileIntoOneRecordPerFolderWhateverTheSpelling)
{
    struct Case {
        const char* agentPath;
        const char* storePath;
        bool storeFirst;
        const char* folder; // its one name
    } cases[] = {
        {"Spam\\\\Old", "Spam\\\\Old", false, "Spam\\Old"},
        {"\\Junk", "\\Junk", false, "Junk"},
        {"Junk\\", "Junk", false, "Junk"},
        {"Trash", "\\Trash\\", true, "Trash"},
        {"\\Spam", "Spam", true, "Spam"},
    };
    CMsgStore store(storeHome.c_str());
    std::map<std::string, std::set<std::string>> filed;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.agentPath);
        const std::string byAgent = "Subject: agent " + std::to_string(++n) + "\r\n\r\nx\r\n";
        const std::string byStore = "Subject: store " + std::to_string(n) + "\r\n\r\nx\r\n";
        if (c.storeFirst)
            storetest::AgentMessage(byStore).FileFor(store, kAnn, c.storePath, false, true);
        EXPECT_TRUE(FileMessage(home.c_str(), Message(byAgent).c_str(), c.agentPath));
        if (!c.storeFirst)
            storetest::AgentMessage(byStore).FileFor(store, kAnn, c.storePath, false, true);
        filed[c.folder].insert({byAgent, byStore});
    }
    mailbox mbx(&base, home.c_str(), "mailbox");
    std::vector<std::pair<std::string, mbxstat>> records;
    ASSERT_EQ(ms::ListMbx(mbx, records), ms::kOk);
    std::vector<std::string> keys;
    for (const auto& record : records)
        keys.push_back(record.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"Junk", "Spam", "Spam\\Old", "Trash", "inbox"}));
    for (const auto& [folder, texts] : filed) {
        const ms::FolderView view = View(folder);
        std::set<std::string> stored;
        for (std::uint32_t uid : view.uids)
            stored.insert(Stored(folder, uid));
        EXPECT_EQ(stored, texts) << folder;
        EXPECT_EQ(view.stat.totalMsgs, texts.size()) << folder;
    }
}

// A directory whose record is gone (or was written under "\Junk" before folder
// names were normalized) gets a new record above its messages, never over them.
TEST_F(FileMessageTest, AFolderDirectoryWithoutItsRecordKeepsItsMessages)
{
    ASSERT_TRUE(FileMessage(home.c_str(), Message("Subject: one\r\n\r\n").c_str(), "Junk"));
    ASSERT_TRUE(FileMessage(home.c_str(), Message("Subject: two\r\n\r\n").c_str(), "Junk"));
    {
        mailbox mbx(&base, home.c_str(), "mailbox");
        ASSERT_EQ(sqlite3_exec(mbx.connection()->handle(), "UPDATE mbxstat SET folder = CAST('\\Junk' AS BLOB) "
                                                             "WHERE folder = CAST('Junk' AS BLOB)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    // The agent's filing takes an existing directory as made (-8 without its record); the store's makes the record.
    EXPECT_FALSE(FileMessage(home.c_str(), Message("Subject: three\r\n\r\n").c_str(), "Junk"));
    CMsgStore store(storeHome.c_str());
    storetest::AgentMessage("Subject: three\r\n\r\n").FileFor(store, kAnn, "Junk\\", false, true);
    const ms::FolderView view = View("Junk");
    EXPECT_EQ(view.uids, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ((std::vector<std::uint32_t>{view.stat.uidNext, view.stat.totalMsgs}), (std::vector<std::uint32_t>{4, 3}));
    EXPECT_EQ(Stored("Junk", 1), "Subject: one\r\n\r\n");
    EXPECT_EQ(Stored("Junk", 3), "Subject: three\r\n\r\n");
}

// FileMessage in one process, AddUserMsg in another, started together: each
// round both make a new folder (the one that comes second finds it made) and
// then file into one shared folder. No filing fails, none overwrites another.
TEST_F(FileMessageTest, FilersInTwoProcessesRaceToMakeFoldersAndToFile)
{
    constexpr int kRounds = 60;
    ASSERT_TRUE(FileMessage(home.c_str(), Message(kText).c_str(), "Junk"));
    diamondBase::CloseAll(); // SQLite connections must not cross fork()
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(go[1]);
        CMsgStore store(storeHome.c_str());
        char round = 0;
        for (int i = 0; i < kRounds; ++i) {
            const std::string text = "Subject: store " + std::to_string(i) + "\r\n\r\nx\r\n";
            if (read(go[0], &round, 1) != 1)
                _exit(2);
            try {
                storetest::AgentMessage message(text);
                message.FileFor(store, kAnn, ("New\\" + std::to_string(i)).c_str(), false, true);
                message.FileFor(store, kAnn, "Junk");
            } catch (const CMsgStoreException&) {
                _exit(1);
            }
        }
        _exit(0);
    }
    close(go[0]);
    int failed = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string message = Message("Subject: agent " + std::to_string(i) + "\r\n\r\nx\r\n");
        char round = 'r';
        ASSERT_EQ(write(go[1], &round, 1), 1); // both start on the new folder now
        failed += FileMessage(home.c_str(), message.c_str(), ("\\New\\" + std::to_string(i)).c_str()) ? 0 : 1;
        failed += FileMessage(home.c_str(), message.c_str(), "Junk") ? 0 : 1;
    }
    close(go[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the store's filing failed";
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(log.LinesOf("Bayesian filter").empty());
    for (int i = 0; i < kRounds; ++i)
        EXPECT_EQ(View("New\\" + std::to_string(i)).uids.size(), 2u) << i;
    const ms::FolderView view = View("Junk");
    constexpr std::uint32_t kAll = 2 * kRounds + 1;
    ASSERT_FALSE(view.uids.empty());
    EXPECT_EQ((std::vector<std::uint32_t>{static_cast<std::uint32_t>(view.uids.size()), view.uids.back(),
                                          view.stat.uidNext, view.stat.totalMsgs, view.stat.unseenMsgs}),
              (std::vector<std::uint32_t>{kAll, kAll, kAll + 1, kAll, kAll}));
    std::set<std::string> texts;
    for (std::uint32_t uid : view.uids)
        texts.insert(Stored("Junk", uid));
    EXPECT_EQ(texts.size(), kAll) << "every message once, none overwritten";
}

} // namespace
