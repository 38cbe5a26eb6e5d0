// A filer killed with SIGKILL at each point of the transaction must leave a
// folder that the next filing can use, with no visible record without its
// complete file and no UID given twice.
#include "StoreFixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using storetest::Message;
using storetest::StoreFixture;
namespace ms = locmail::msgstore;

// Dies where it is told to, as kill -9 would take it.
class KillAt : public ms::FilingProbe {
public:
    explicit KillAt(ms::FilingStep step) : step_(step) {}
    bool Reached(ms::FilingStep step) override
    {
        if (step == step_)
            ::raise(SIGKILL);
        return true;
    }

private:
    ms::FilingStep step_;
};

using FilingCrashTest = StoreFixture;

TEST_F(FilingCrashTest, KilledFilerLeavesAFolderTheNextFilingCanUse)
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
            KillAt probe(step);
            (void)ms::FileIntoFolder(own, Request("inbox", doomed), &probe);
            _exit(0); // not reached: the probe kills the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        auto seen = CheckFolder("inbox");
        if (step == ms::FilingStep::Unlock) // killed after the commit: the message is filed
            expected[static_cast<std::uint32_t>(expected.size() + 1)] = doomed;
        EXPECT_EQ(seen, expected);

        const std::string next = Message("after " + std::to_string(static_cast<int>(step)));
        ms::FilingResult r = File("inbox", next);
        ASSERT_TRUE(r.ok()) << r.detail;
        expected[r.uid] = next;
        EXPECT_EQ(CheckFolder("inbox"), expected);
    }
}

} // namespace
