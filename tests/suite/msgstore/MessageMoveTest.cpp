#include "StoreFixture.h"
#include "suite/cclient/FlagParser.h"
#include "suite/msgstore/MessageMove.h"
#include "suite/msgstore/MessageOps.h"
#include "support/FilingProbe.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace {

using storetest::Message;
namespace ms = locmail::msgstore;

class MessageMoveTest : public storetest::StoreFixture {
protected:
    ms::MoveResult Move(std::uint32_t uid, const std::string& to)
    {
        return ms::MoveMessage(base, storeHome, home, "inbox", uid, to);
    }

    // uid -> text of the messages a reader sees (UIDs are not dense after a move).
    std::map<std::uint32_t, std::string> Visible(const std::string& folder)
    {
        ms::FolderView view;
        EXPECT_EQ(ms::ReadFolder(base, home, folder, view), ms::kOk);
        EXPECT_TRUE(view.skipped.empty()) << "a visible record without its file";
        std::map<std::uint32_t, std::string> out;
        for (std::uint32_t uid : view.uids)
            EXPECT_TRUE(ms::ReadMessageFile(FileOf(folder, uid), out[uid]));
        return out;
    }

    std::vector<std::uint32_t> Counters(const std::string& folder)
    {
        const mbxstat s = Stat(folder);
        return {s.totalMsgs, s.recentMsgs, s.unseenMsgs, s.uidNext};
    }

    _msgstat StatusOf(const std::string& folder, std::uint32_t uid)
    {
        msgstat rel(&base, FolderDir(folder).c_str(), "msgstat");
        _msgstat record{};
        EXPECT_EQ(ms::GetMsgStat(rel, uid, record), ms::kOk);
        return record;
    }
};

// The copy keeps text and flags, the folder it needs is made, and the source
// loses the message with its counters, so it is neither lost nor counted twice.
TEST_F(MessageMoveTest, MovesTextFlagsAndCountersIntoANewFolder)
{
    MakeFolder("inbox");
    ms::FilingRequest seen = Request("inbox", Message("seen"));
    seen.stat.systemFlags = locmail::cclient::kSeen | locmail::cclient::kOld;
    ASSERT_TRUE(ms::FileIntoFolder(base, seen).ok());
    ASSERT_TRUE(File("inbox", Message("unseen")).ok());

    ms::MoveResult moved = Move(1, "Spam\\Old");
    ASSERT_TRUE(moved.ok()) << moved.detail;
    EXPECT_EQ(Visible("Spam\\Old"), (std::map<std::uint32_t, std::string>{{moved.uid, Message("seen")}}));
    EXPECT_EQ(StatusOf("Spam\\Old", moved.uid).systemFlags, seen.stat.systemFlags);
    EXPECT_EQ(Visible("inbox"), (std::map<std::uint32_t, std::string>{{2, Message("unseen")}}));
    EXPECT_FALSE(std::filesystem::exists(FileOf("inbox", 1)));
    // Seen and old, it was neither unseen nor recent; uidNext never goes back.
    EXPECT_EQ(Counters("inbox"), (std::vector<std::uint32_t>{1, 2, 2, 3}));
    ASSERT_TRUE(Move(2, "Spam\\Old").ok());
    EXPECT_EQ(Counters("inbox"), (std::vector<std::uint32_t>{0, 1, 1, 3}));
    EXPECT_EQ(Visible("Spam\\Old").size(), 2u);

    EXPECT_EQ(Move(1, "Spam\\Old").status, ms::MoveStatus::NotFound);
    EXPECT_EQ(Move(9, "Spam\\Old").status, ms::MoveStatus::NotFound);
    ASSERT_TRUE(File("inbox", Message("stays")).ok());
    EXPECT_TRUE(Move(3, "\\inbox").ok()) << "into its own folder: nothing to do";
    EXPECT_EQ(Visible("inbox").size(), 1u);
}

// Killed after the copy committed and before the source went, the move done
// again finds its copy and only finishes the removal.
TEST_F(MessageMoveTest, MoveKilledAfterItsCopyIsFinishedWithoutASecondCopy)
{
    MakeFolder("inbox");
    ASSERT_TRUE(File("inbox", Message("trained")).ok());
    diamondBase::CloseAll();
    const pid_t pid = fork();
    if (pid == 0) {
        diamondBase own;
        testsupport::FilingProbe dying(ms::FilingStep::Unlock, true);
        (void)ms::MoveMessage(own, storeHome, home, "inbox", 1, "Spam");
        _exit(0); // not reached: the probe kills the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_EQ(Visible("Spam").size(), 1u);

    ms::MoveResult again = Move(1, "Spam");
    ASSERT_TRUE(again.ok()) << again.detail;
    EXPECT_EQ(Visible("Spam"), (std::map<std::uint32_t, std::string>{{again.uid, Message("trained")}}));
    EXPECT_TRUE(Visible("inbox").empty());
}

} // namespace
