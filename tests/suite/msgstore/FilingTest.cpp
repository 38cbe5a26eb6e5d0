#include "StoreFixture.h"

#include "suite/db/FileLock.h"
#include "suite/msgstore/StoreCodes.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

namespace {

using storetest::Message;
using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using FilingTest = StoreFixture;

// Fails the one step it is given, or dies there as kill -9 would take it.
struct StepProbe : ms::FilingProbe {
    StepProbe(ms::FilingStep s, bool die = false) : step(s), die(die) {}
    bool Reached(ms::FilingStep reached) override
    {
        if (reached == step && die)
            ::raise(SIGKILL);
        return reached != step;
    }
    ms::FilingStep step;
    bool die;
};

bool LockIsFree(const std::string& lockPath)
{
    int rc = -1;
    std::thread other([&] {
        rc = locmail::db::AcquireFileLock(lockPath, false, 0);
        if (rc == 0)
            locmail::db::ReleaseFileLock(lockPath);
    });
    other.join();
    return rc == 0;
}

TEST_F(FilingTest, FirstMessageGetsUidOneAndKeepsTheFolderFlagsAndBirth)
{
    MakeFolder("my-spam", 0xFB);
    const std::string text = Message("one");
    ms::FilingResult r = File("my-spam", text);
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(r.uid, 1u);
    EXPECT_EQ(testsupport::ReadFile(home + "/my-spam6D792D7370616D/1"), std::string(ms::kMessagePrefix) + text);
    const mbxstat st = Stat("my-spam");
    EXPECT_EQ(st.flags, 0x07) << "bits 3-7 cleared, bit 2 set, bits 0-1 kept";
    EXPECT_EQ(st.createTime, 1700000000) << "never changed by a filing";

    msgstat stat(&base, FolderDir("my-spam").c_str(), "msgstat");
    _msgstat record{};
    ASSERT_EQ(ms::GetMsgStat(stat, 1, record), ms::kOk);
    EXPECT_EQ((std::vector<std::uint32_t>{record.size, record.headerSize, record.day}),
              (std::vector<std::uint32_t>{std::uint32_t(text.size()), std::uint32_t(text.find("\r\n\r\n") + 2), 6}));
    ASSERT_EQ(File("my-spam", Message("two")).uid, 2u);
    EXPECT_EQ(CheckFolder("my-spam").size(), 2u);
    EXPECT_TRUE(LockIsFree(home + "/mailbox.id0"));
}

TEST_F(FilingTest, FailedStepIsUndoneAndTheNextFilingGetsTheSameUid)
{
    struct Case {
        ms::FilingStep step;
        ms::FilingStatus want;
    } cases[] = {
        {ms::FilingStep::AddMsgStat, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::AddMsgEnv, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::AddMsgBody, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::MessageFileCreate, ms::FilingStatus::MessageFileFailed},
        {ms::FilingStep::MessageFileText, ms::FilingStatus::MessageFileFailed},
        {ms::FilingStep::StatsUpdate, ms::FilingStatus::StatsUpdateFailed},
    };
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("kept")).ok());
    const std::string dir = FolderDir("inbox");
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        const mbxstat before = Stat("inbox");
        StepProbe probe(c.step);
        ms::FilingResult r = File("inbox", Message("lost"), &probe);
        EXPECT_EQ(r.status, c.want) << ms::FilingStatusName(r.status);
        EXPECT_NE(ms::StoreExceptionCode(r.status), ms::kCodeNoSuchFolder);

        EXPECT_EQ(Stat("inbox"), before) << "statistics as they were";
        msgstat stat(&base, dir.c_str(), "msgstat");
        msgenv env(&base, dir.c_str(), "msgenv");
        msgbody body(&base, dir.c_str(), "msgbody");
        _msgstat record{};
        std::string text;
        EXPECT_EQ(ms::GetMsgStat(stat, before.uidNext, record), ms::kNotFound);
        EXPECT_EQ(ms::GetMsgEnv(env, idxkey{before.uidNext, 0}, text), ms::kNotFound);
        EXPECT_EQ(ms::GetMsgBody(body, idxkey{before.uidNext, 0}, text), ms::kNotFound);
        EXPECT_TRUE(LockIsFree(home + "/mailbox.id0"));

        const std::string next = Message("next after " + std::to_string(static_cast<int>(c.step)));
        ms::FilingResult ok = File("inbox", next);
        ASSERT_TRUE(ok.ok()) << ok.detail;
        EXPECT_EQ(ok.uid, before.uidNext);
        EXPECT_EQ(CheckFolder("inbox").at(ok.uid), next);
    }
}

TEST_F(FilingTest, MessageFileThatCannotBeWrittenReportsTheSystemError)
{
    MakeFolder("inbox");
    std::filesystem::create_directory(FileOf("inbox", 1)); // something in the way of file 1
    ms::FilingResult r = File("inbox", Message("blocked"));
    EXPECT_EQ(r.status, ms::FilingStatus::MessageFileFailed);
    EXPECT_EQ(r.error, EISDIR);
    EXPECT_NE(r.detail.find(FileOf("inbox", 1)), std::string::npos) << r.detail;
    EXPECT_TRUE(CheckFolder("inbox").empty()) << "and uidNext still 1";
}

TEST_F(FilingTest, RefusalsBeforeAnythingIsWritten)
{
    MakeFolder("full");
    {
        mailbox mbx(&base, home.c_str(), "mailbox");
        mbxstat st = Stat("full");
        st.uidNext = 0xFFFFFFFF;
        ASSERT_EQ(UpdateMbxStat(mbx, "full", st, ms::kUpdateUidNext), ms::kOk);
    }
    std::filesystem::create_directories(FolderDir("norecord"));
    MakeFolder("nodir");
    diamondBase::CloseAll();
    std::filesystem::remove_all(FolderDir("nodir"));
    struct Case {
        std::string folder, home;
        ms::FilingStatus want;
        int code;
    } cases[] = {
        {"norecord", home, ms::FilingStatus::NoSuchFolder, ms::kCodeNoSuchFolder},
        {"never-made", home, ms::FilingStatus::NoSuchFolder, ms::kCodeNoSuchFolder},
        {"nodir", home, ms::FilingStatus::NoSuchFolder, ms::kCodeNoSuchFolder},
        {"full", home, ms::FilingStatus::FolderFull, ms::kCodeFolderFull},
        {"", home, ms::FilingStatus::BadFolderPath, ms::kCodeBadFolderName},
        {"a/../b", home, ms::FilingStatus::BadFolderPath, ms::kCodeBadFolderName},
        {"inbox", tmp / "nohome", ms::FilingStatus::RelationUnavailable, ms::kCodeStoreUnavailable},
    };
    for (const auto& c : cases) {
        ms::FilingRequest req = Request(c.folder, Message("refused"));
        req.homeDir = c.home;
        ms::FilingResult r = ms::FileIntoFolder(base, req);
        EXPECT_EQ(r.status, c.want) << c.folder << ": " << ms::FilingStatusName(r.status);
        EXPECT_EQ(ms::StoreExceptionCode(r.status), c.code) << c.folder;
        EXPECT_FALSE(r.detail.empty()) << c.folder;
    }
    EXPECT_FALSE(locmail::FileExists(FolderDir("norecord") + "/1"));
    EXPECT_TRUE(LockIsFree(home + "/mailbox.id0"));
}

TEST_F(FilingTest, ReaderSkipsARecordWhoseFileIsMissing)
{
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("a")).ok());
    ASSERT_TRUE(File("inbox", Message("b")).ok());
    ASSERT_EQ(::unlink(FileOf("inbox", 1).c_str()), 0);
    ms::FolderView view;
    ASSERT_EQ(ms::ReadFolder(base, home, "inbox", view), ms::kOk);
    EXPECT_EQ(view.uids, std::vector<std::uint32_t>{2});
    EXPECT_EQ(view.skipped, std::vector<std::uint32_t>{1});
}

TEST_F(FilingTest, TwoProcessesFilingAtOnceNeverShareAUid)
{
    constexpr int kPerProcess = 500;
    MakeFolder("inbox");
    diamondBase::CloseAll(); // SQLite connections must not cross fork()
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = fork();
        if (children[p] == 0) {
            diamondBase own;
            for (int i = 0; i < kPerProcess; ++i) {
                const std::string tag = std::to_string(p) + "/" + std::to_string(i);
                if (!ms::FileIntoFolder(own, Request("inbox", Message(tag))).ok())
                    _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a filer failed";
    }
    const auto filed = CheckFolder("inbox");
    ASSERT_EQ(filed.size(), 2u * kPerProcess);
    std::set<std::string> texts;
    for (const auto& [uid, text] : filed)
        texts.insert(text);
    EXPECT_EQ(texts.size(), 2u * kPerProcess) << "every message exactly once";
}

// A filer killed at each point of the transaction leaves a folder the next
// filing can use, with no visible record without its complete file and no UID
// given twice.
TEST_F(FilingTest, KilledFilerLeavesAFolderTheNextFilingCanUse)
{
    const ms::FilingStep steps[] = {
        ms::FilingStep::StatsRead,         ms::FilingStep::AddMsgStat,      ms::FilingStep::AddMsgEnv,
        ms::FilingStep::AddMsgBody,        ms::FilingStep::MessageFileCreate, ms::FilingStep::MessageFileText,
        ms::FilingStep::StatsUpdate,       ms::FilingStep::Unlock,
    };
    MakeFolder("inbox");
    std::map<std::uint32_t, std::string> expected;
    for (ms::FilingStep step : steps) {
        SCOPED_TRACE(static_cast<int>(step));
        const std::string doomed = Message("doomed at " + std::to_string(static_cast<int>(step)));
        diamondBase::CloseAll();
        pid_t pid = fork();
        if (pid == 0) {
            diamondBase own;
            StepProbe probe(step, true);
            (void)ms::FileIntoFolder(own, Request("inbox", doomed), &probe);
            _exit(0); // not reached: the probe kills the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        if (step == ms::FilingStep::Unlock) // killed after the commit: the message is filed
            expected[static_cast<std::uint32_t>(expected.size() + 1)] = doomed;
        EXPECT_EQ(CheckFolder("inbox"), expected);

        const std::string next = Message("after " + std::to_string(static_cast<int>(step)));
        ms::FilingResult r = File("inbox", next);
        ASSERT_TRUE(r.ok()) << r.detail;
        expected[r.uid] = next;
        EXPECT_EQ(CheckFolder("inbox"), expected);
    }
}

} // namespace
