#include "StoreFixture.h"

#include "suite/db/TestRelation.h"
#include "suite/msgstore/DeliveryScope.h"
#include "suite/msgstore/StoreCodes.h"

#include "suite/db/SqliteErrno.h"
#include "suite/db/SqliteOwners.h"
#include "support/FilingProbe.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>

namespace {

using dbtest::OtherProcessCanLock;
using storetest::Message;
using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using FilingTest = StoreFixture;


// The agent stops on 4, defers one recipient on 17, returns the message on
// 18 and 6: a failure's errno decides, except for the folder codes.
TEST(StoreCodeTest, EveryFailureGetsTheCodeOfItsScope)
{
    using S = ms::FilingStatus;
    struct Case { S status; int error; int code; } cases[] = {
        {S::NoSuchFolder, ENOENT, ms::kCodeNoSuchFolder},
        {S::NoSuchFolder, EIO, ms::kCodeStoreUnavailable}, // the record could not be read
        {S::BadFolderPath, EINVAL, ms::kCodeBadFolderName},
        {S::FolderFull, EOVERFLOW, ms::kCodeFolderFull},
        // the whole store, for now
        {S::RelationUnavailable, ENOENT, ms::kCodeStoreUnavailable},
        {S::MessageFileFailed, ENOSPC, ms::kCodeStoreUnavailable},
        {S::StatsUpdateFailed, EROFS, ms::kCodeStoreUnavailable},
        // this mailbox, for now
        {S::RelationUnavailable, EACCES, ms::kCodeMailboxUnavailable},
        {S::LockFailed, ETIMEDOUT, ms::kCodeMailboxUnavailable},
        {S::RecordFailed, EPROTO, ms::kCodeMailboxUnavailable}, // SQLite gave no cause, or one nobody expected
        // damage in this mailbox: it waits for an operator
        {S::MessageFileFailed, EISDIR, ms::kCodeMailboxUnavailable},
        {S::MessageFileFailed, ELOOP, ms::kCodeMailboxUnavailable},
        {S::RelationUnavailable, locmail::db::kCorruptRelationErrno, ms::kCodeMailboxUnavailable},
        {S::RelationUnavailable, locmail::db::kForeignRelationErrno, ms::kCodeMailboxUnavailable},
        // this mailbox, for good
        {S::MessageFileFailed, ENAMETOOLONG, ms::kCodeMailboxRefused},
        {S::MessageFileFailed, EDQUOT, ms::kCodeMailboxRefused},
    };
    for (const auto& c : cases) {
        ms::FilingResult r;
        r.status = c.status;
        r.error = c.error;
        EXPECT_EQ(ms::StoreExceptionCode(r), c.code) << ms::FilingStatusName(c.status) << ", " << std::strerror(c.error);
    }
}

// Under a delivery scope, as the agent files: a failure leaves no key behind
// (the key commits with the statistics), so the retry files the copy.
TEST_F(FilingTest, FailedStepIsUndoneAndTheRetryFilesItUnderTheSameUid)
{
    struct Case { ms::FilingStep step; ms::FilingStatus want; } cases[] = {
        {ms::FilingStep::AddMsgStat, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::AddMsgEnv, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::AddMsgBody, ms::FilingStatus::RecordFailed},
        {ms::FilingStep::StatsUpdate, ms::FilingStatus::StatsUpdateFailed},
        {ms::FilingStep::MessageFileCreate, ms::FilingStatus::MessageFileFailed},
        {ms::FilingStep::MessageFileText, ms::FilingStatus::MessageFileFailed},
        {ms::FilingStep::Commit, ms::FilingStatus::StatsUpdateFailed},
    };
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("kept")).ok());
    const std::string dir = FolderDir("inbox");
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        const std::string text = Message("retried " + std::to_string(static_cast<int>(c.step)));
        ms::DeliveryScope scope("key-" + std::to_string(static_cast<int>(c.step)), "alice@example.org");
        mbxstat before = Stat("inbox");
        before.flags = 0xF9;
        {
            mailbox mbx(&base, home.c_str(), "mailbox");
            ASSERT_EQ(UpdateMbxStat(mbx, "inbox", before, ms::kUpdateAll), ms::kOk);
        }
        ms::FilingResult r = [&] {
            testsupport::FilingProbe failing(c.step);
            return File("inbox", text);
        }();
        EXPECT_EQ(r.status, c.want) << ms::FilingStatusName(r.status);
        EXPECT_NE(r.error, 0);

        mbxstat want = before;
        if (c.want == ms::FilingStatus::MessageFileFailed)
            want.flags = 0x05; // (f & 7) | 4, as the undo of a failed write leaves them
        EXPECT_EQ(Stat("inbox"), want) << "statistics as they were";
        msgstat stat(&base, dir.c_str(), "msgstat");
        msgenv env(&base, dir.c_str(), "msgenv");
        msgbody body(&base, dir.c_str(), "msgbody");
        _msgstat record{};
        std::string stored;
        EXPECT_EQ(ms::GetMsgStat(stat, before.uidNext, record), ms::kNotFound);
        EXPECT_EQ(ms::GetMsgEnv(env, idxkey{before.uidNext, 0}, stored), ms::kNotFound);
        EXPECT_EQ(ms::GetMsgBody(body, idxkey{before.uidNext, 0}, stored), ms::kNotFound);
        EXPECT_FALSE(std::filesystem::exists(FileOf("inbox", before.uidNext))) << "a file above uidNext";
        EXPECT_TRUE(OtherProcessCanLock(home + "/mailbox.id0"));

        ms::FilingResult retry = File("inbox", text);
        ASSERT_TRUE(retry.ok()) << retry.detail;
        EXPECT_FALSE(retry.replayed) << "no key was left by the failed attempt";
        EXPECT_EQ(retry.uid, before.uidNext);
        EXPECT_EQ(CheckFolder("inbox").at(retry.uid), text);
    }
}

// Each copy counts once and keeps the folder's birth; its flags keep bits 0-1 and set bit 2.
TEST_F(FilingTest, OneCopyPerDeliveryKeyRecipientAndFolder)
{
    MakeFolder("inbox", 0xFB);
    MakeFolder("Work");
    const std::string text = Message("once");
    // key nullptr: no scope
    struct Case { const char *key, *recipient, *folder; bool replayed; std::uint32_t uid; } cases[] = {
        {"k1", "alice@example.org", "inbox", false, 1},
        {"k1", "alice@example.org", "inbox", true, 1},
        {"k1", "ALICE@Example.ORG", "inbox", true, 1}, // recipients compare without regard to case
        {"k1", "bob@example.org", "inbox", false, 2},   // another recipient filing into this home
        {"k1", "alice@example.org", "Work", false, 1},  // a rule's copy into another folder
        {"k2", "alice@example.org", "inbox", false, 3},
        {"k2", "alice@example.org", "inbox", true, 3},
        {"", "alice@example.org", "inbox", false, 4}, // an empty key records nothing
        {"", "alice@example.org", "inbox", false, 5},
        {nullptr, nullptr, "inbox", false, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key != nullptr ? c.key : "no scope") + " " + (c.recipient ? c.recipient : "") + " "
                     + c.folder);
        const mbxstat before = Stat(c.folder);
        std::optional<ms::DeliveryScope> scope;
        if (c.key != nullptr)
            scope.emplace(c.key, c.recipient);
        ms::FilingResult r = File(c.folder, text);
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_EQ(r.replayed, c.replayed);
        EXPECT_EQ(r.uid, c.uid);
        if (c.replayed)
            EXPECT_EQ(Stat(c.folder), before) << "a replay never counts";
        else
            EXPECT_EQ(Stat(c.folder).totalMsgs, before.totalMsgs + 1);
    }
    EXPECT_EQ(CheckFolder("inbox").size(), 6u);
    EXPECT_EQ(CheckFolder("Work").size(), 1u);
    EXPECT_EQ(testsupport::ReadFile(home + "/inbox696E626F78/1"), std::string(ms::kMessagePrefix) + text);
    EXPECT_EQ(std::make_pair(int(Stat("inbox").flags), Stat("inbox").createTime), std::make_pair(0x07, 1700000000));
    msgstat stat(&base, FolderDir("inbox").c_str(), "msgstat");
    _msgstat record{};
    ASSERT_EQ(ms::GetMsgStat(stat, 1, record), ms::kOk);
    EXPECT_EQ((std::vector<std::uint32_t>{record.size, record.headerSize, record.day}),
              (std::vector<std::uint32_t>{std::uint32_t(text.size()), std::uint32_t(text.find("\r\n\r\n") + 2), 6}));
    EXPECT_TRUE(OtherProcessCanLock(home + "/mailbox.id0"));
}

// What a power cut may take of a committed copy (the folder relations and the
// message file are other files than the commit) is put back by the replay.
TEST_F(FilingTest, AReplayPutsBackWhatAPowerCutTookAndLeavesTheCountersAlone)
{
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("unrelated")).ok());
    const std::string dir = FolderDir("inbox");
    const std::string text = Message("repaired");
    ms::DeliveryScope scope("entry-7", "alice@example.org");
    const ms::FilingResult first = File("inbox", text);
    ASSERT_TRUE(first.ok()) << first.detail;
    const idxkey key{first.uid, 0};
    msgstat stat(&base, dir.c_str(), "msgstat");
    msgenv env(&base, dir.c_str(), "msgenv");
    msgbody body(&base, dir.c_str(), "msgbody");
    const std::string file = FileOf("inbox", first.uid);
    struct Case { const char* name; std::function<void()> damage; } cases[] = {
        {"message file gone", [&] { ::unlink(file.c_str()); }},
        {"message file torn", [&] { ASSERT_EQ(::truncate(file.c_str(), 20), 0); }},
        {"message file of an older filing", [&] { testsupport::WriteFile(file, "\x11\0\0\0\r\nother"); }},
        {"status record gone", [&] { RemoveMsgStat(stat, first.uid); }},
        {"envelope and structure gone", [&] { RemoveMsgBody(body, env, key), RemoveMsgEnv(env, key); }},
        {"all of it gone", [&] {
             ::unlink(file.c_str());
             RemoveMsgStat(stat, first.uid);
             RemoveMsgBody(body, env, key);
             RemoveMsgEnv(env, key);
         }},
    };
    const ms::FilingRequest original = Request("inbox", text);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        const mbxstat before = Stat("inbox");
        ms::FilingResult r = File("inbox", text);
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_TRUE(r.replayed);
        EXPECT_EQ(r.uid, first.uid);
        EXPECT_EQ(Stat("inbox"), before);
        EXPECT_EQ(CheckFolder("inbox").at(first.uid), text);
        _msgstat record{};
        std::string envelope, structure;
        ASSERT_EQ(ms::GetMsgStat(stat, first.uid, record), ms::kOk);
        EXPECT_EQ(record.size, text.size());
        ASSERT_EQ(ms::GetMsgEnv(env, key, envelope), ms::kOk);
        ASSERT_EQ(ms::GetMsgBody(body, key, structure), ms::kOk);
        EXPECT_EQ(std::make_pair(envelope, structure), std::make_pair(original.envelope, original.bodyStructure));
    }
}

TEST_F(FilingTest, AMailboxOfTheFirstFormatIsUpgradedAndKeepsItsFolders)
{
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("old")).ok());
    diamondBase::CloseAll();
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open((home + "/mailbox.db").c_str(), &raw), SQLITE_OK);
        locmail::db::SqlitePtr db(raw);
        ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE delivered; PRAGMA user_version=1", nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    ms::DeliveryScope scope("entry-1", "alice@example.org");
    ASSERT_EQ(File("inbox", Message("new")).uid, 2u);
    EXPECT_TRUE(File("inbox", Message("new")).replayed);
    EXPECT_EQ(CheckFolder("inbox").size(), 2u);
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
    struct Case { std::string folder, home; ms::FilingStatus want; int code; } cases[] = {
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
        EXPECT_EQ(ms::StoreExceptionCode(r), c.code) << c.folder;
        EXPECT_FALSE(r.detail.empty()) << c.folder;
    }
    EXPECT_FALSE(locmail::FileExists(FolderDir("norecord") + "/1"));
    EXPECT_TRUE(OtherProcessCanLock(home + "/mailbox.id0"));
}

// Envelopes and structures round-trip through every filing (FilingTest); here
// the long ones, which go to the relation's heap, and a structure's link.
TEST_F(FilingTest, LongTextsGoToTheHeapAndAStructureNeedsItsEnvelope)
{
    MakeFolder("inbox");
    const std::string dir = FolderDir("inbox");
    msgenv env(&base, dir.c_str(), "msgenv");
    msgbody body(&base, dir.c_str(), "msgbody");
    struct stat before, after;
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &before), 0);
    const std::string longText = "(\"date\" \"" + std::string(ms::kInlineTextLimit + 1, 's') + "\" NIL)";
    const idxkey key{2, 0};
    ASSERT_EQ(AddMsgEnv(env, key, longText), ms::kOk);
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &after), 0);
    EXPECT_GT(after.st_size, before.st_size + static_cast<off_t>(ms::kInlineTextLimit));
    EXPECT_EQ(AddMsgBody(body, env, idxkey{1, 0}, idxkey{1, 0}, std::string_view("(\"TEXT\")")), ms::kNotFound);
    ASSERT_EQ(AddMsgBody(body, env, key, key, std::string_view(longText)), ms::kOk);
    std::string text;
    ASSERT_EQ(ms::GetMsgEnv(env, key, text), ms::kOk);
    EXPECT_EQ(text, longText);
    idxkey envKey{};
    ASSERT_EQ(ms::GetMsgBody(body, key, text, &envKey), ms::kOk);
    EXPECT_EQ(text, longText);
    EXPECT_EQ(envKey.uid, 2u);
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

// A filer killed at each point of the transaction leaves a folder the next
// filing can use, with no visible record without its complete file and no UID
// given twice; the queue's retry under the same delivery key gives exactly
// one copy, whether the dead filer committed or not.
TEST_F(FilingTest, KilledFilerAndItsRetryLeaveExactlyOneCopy)
{
    const ms::FilingStep steps[] = {
        ms::FilingStep::StatsRead,   ms::FilingStep::AddMsgStat,        ms::FilingStep::AddMsgEnv,
        ms::FilingStep::AddMsgBody,  ms::FilingStep::StatsUpdate,       ms::FilingStep::MessageFileCreate,
        ms::FilingStep::MessageFileText, ms::FilingStep::Commit, ms::FilingStep::Unlock,
    };
    MakeFolder("inbox");
    std::map<std::uint32_t, std::string> expected;
    for (ms::FilingStep step : steps) {
        SCOPED_TRACE(static_cast<int>(step));
        const std::string key = "entry-" + std::to_string(static_cast<int>(step));
        const std::string doomed = Message("doomed at " + std::to_string(static_cast<int>(step)));
        diamondBase::CloseAll();
        pid_t pid = fork();
        if (pid == 0) {
            diamondBase own;
            ms::DeliveryScope scope(key, "alice@example.org");
            testsupport::FilingProbe dying(step, true);
            (void)ms::FileIntoFolder(own, Request("inbox", doomed));
            _exit(0); // not reached: the probe kills the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        const bool committed = step == ms::FilingStep::Unlock;
        if (committed)
            expected[static_cast<std::uint32_t>(expected.size() + 1)] = doomed;
        EXPECT_EQ(CheckFolder("inbox"), expected);

        ms::DeliveryScope scope(key, "alice@example.org");
        ms::FilingResult r = File("inbox", doomed);
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_EQ(r.replayed, committed);
        expected[r.uid] = doomed;
        EXPECT_EQ(CheckFolder("inbox"), expected);
    }
}

} // namespace
