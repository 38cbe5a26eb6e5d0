// Several processes on one queue: walkers sharing a channel, and a builder
// killed at every step of an inject.
#include "QueueFixture.h"

#include "support/CaptureLog.h"
#include "suite/mq/StepObserver.h"

#include <gmock/gmock.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>
#include <set>

namespace {

using namespace mqtest;
using locmail::mq::kNoMessage;

bool ReadByte(int fd, char& c) { return ::read(fd, &c, 1) == 1; }

int WaitFor(pid_t pid)
{
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return status;
}

// This process and a child walk one channel at once.
TEST_F(QueueTest, TwoWalkerProcessesNeverShareAnEntryAndTogetherTakeAll)
{
    std::set<uint32_t> injected;
    for (int i = 0; i < 300; ++i)
        injected.insert(Inject("Subject: " + std::to_string(i) + "\r\n\r\n", "s@x", {{"r@x", "local"}}));
    ASSERT_EQ(injected.size(), 300u);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!MQInit(queue_.c_str(), "Walker"))
            ::_exit(2);
        for (uint32_t id : Walk("local", true))
            if (::write(out[1], &id, sizeof id) != static_cast<ssize_t>(sizeof id))
                ::_exit(3);
        ::_exit(::testing::Test::HasFailure() ? 4 : 0);
    }
    ASSERT_GE(pid, 0);
    ::close(out[1]);
    const std::vector<uint32_t> mine = Walk("local", true);
    std::vector<uint32_t> theirs;
    for (uint32_t id; ::read(out[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id);)
        theirs.push_back(id);
    ::close(out[0]);
    EXPECT_EQ(WaitFor(pid), 0);
    EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end()) && std::is_sorted(theirs.begin(), theirs.end()));
    std::multiset<uint32_t> all(mine.begin(), mine.end());
    all.insert(theirs.begin(), theirs.end());
    EXPECT_EQ(all, std::multiset<uint32_t>(injected.begin(), injected.end())) << "each entry taken exactly once";
    EXPECT_THAT(Names(Path("entries")), ::testing::IsEmpty());
}

// The builder child reports every step on a pipe, then waits to be told to go on.
int g_report = -1;
int g_resume = -1;

void Pause(char code)
{
    char c;
    if (::write(g_report, &code, 1) != 1 || !ReadByte(g_resume, c))
        ::_exit(4);
}

std::string TextFor(int i)
{
    return "Subject: message " + std::to_string(i) + "\r\n\r\n" + std::string(300 + i, 'x') + "\r\n";
}

[[noreturn]] void BuildForever(const std::string& queue)
{
    if (!MQInit(queue.c_str(), "Builder"))
        ::_exit(2);
    // The trace of a case is the steps' first letters; the envelope's rename is the commit.
    locmail::mq::SetStepObserver(
        [](const char* step) { Pause(std::string(step) == "envelope-renamed" ? 'E' : step[0]); });
    for (int i = 0;; ++i) {
        MQContext* entry = CreateMQEntry();
        if (entry == nullptr)
            ::_exit(5);
        std::string text = TextFor(i);
        FILE* out = std::fopen(GetMQPathName(entry, ".msg"), "wb");
        for (std::size_t done = 0; done < text.size(); done += 128) {
            std::fwrite(text.data() + done, 1, std::min<std::size_t>(128, text.size() - done), out);
            std::fflush(out);
            Pause('w');
        }
        std::fclose(out);
        locmail::mq::EnvelopeBuilder env;
        env.AddSender("s" + std::to_string(i) + "@x", "local").AddRecipient("r@x", "local");
        if (!InsertMQChannel(entry, "local", 255) || !PutMQEnvelope(entry, env.Envelope()) || !CloseMQEntry(entry))
            ::_exit(6);
    }
}

// Killed at every step of two injects and then some: what is queued is each message the builder committed,
// whole, and nothing else; what it left in tmp/ is swept. Replays under an outgoing key after a kill:
// QueueApiTest and the crash harness.
TEST_F(QueueTest, ABuilderKilledAtAnyStepLeavesNoEntryOrAWholeOne)
{
    for (int killAfter = 1; killAfter <= 32; ++killAfter) {
        int report[2], resume[2];
        ASSERT_EQ(::pipe(report), 0);
        ASSERT_EQ(::pipe(resume), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            g_report = report[1];
            g_resume = resume[0];
            BuildForever(queue_);
        }
        ASSERT_GE(pid, 0);
        ::close(report[1]);
        ::close(resume[0]);
        int committed = 0;
        std::string steps;
        for (int step = 0; step < killAfter; ++step) {
            char code;
            ASSERT_TRUE(ReadByte(report[0], code));
            steps += code;
            committed += code == 'E';
            if (step + 1 < killAfter) {
                ASSERT_EQ(::write(resume[1], "g", 1), 1);
            }
        }
        ::kill(pid, SIGKILL);
        WaitFor(pid);
        ::close(report[0]);
        ::close(resume[1]);

        locmail::log::CaptureLog log;
        MQContext* ctx = OpenMQChannel("local");
        std::vector<int> queued;
        for (uint32_t id = GetFirstMessage(ctx, false); id != kNoMessage; id = GetNextMessage(ctx, false)) {
            stEnvelope* env = GetMQEnvelope(id);
            ASSERT_NE(env, nullptr);
            int i = std::stoi(std::string(static_cast<_envFrom*>(env->from.head->item)->address).substr(1));
            FreeMQEnvelope(env);
            queued.push_back(i);
            EXPECT_EQ(testsupport::ReadFile(GetMQPathName(id, ".msg")), TextFor(i)) << steps;
            RemoveMQChannel(ctx);
        }
        CloseMQChannel(ctx);
        std::vector<int> expected(committed);
        std::iota(expected.begin(), expected.end(), 0);
        std::sort(queued.begin(), queued.end());
        EXPECT_EQ(queued, expected) << "steps " << steps;
        for (const auto& line : log.Lines())
            EXPECT_NE(line.substr(0, 2), "1 ") << line;
        EXPECT_THAT(Names(Path("tmp")), ::testing::IsEmpty()) << steps;
        EXPECT_THAT(Names(Path("entries")), ::testing::IsEmpty()) << steps;
    }
}

} // namespace
