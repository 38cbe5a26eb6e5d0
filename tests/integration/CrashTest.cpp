// Crashes and power cuts: `locmail run` over a realistic queue, killed (and
// now and then asked to stop) again and again at moments a seeded PRNG picks
// (a count of file-changing calls, never a time), then run to the end once:
// every recipient has its copy exactly once, byte for byte. The first run
// goes past the agent's restart before it is asked to stop. And one traced run: the queue never forgets an
// entry before the store's writes for it are synced.
//
// A kill is a kill on any file system: the installations live in memory where
// they can, so that the thousands of fsyncs of the injections do not measure
// the disk. Knobs (environment): LOCMAIL_CRASH_RUNS (300), LOCMAIL_CRASH_MESSAGES (2500),
// LOCMAIL_CRASH_SEED (20261206), LOCMAIL_POWERCUT_MESSAGES (600).
#include "integration/DurabilityTrace.h"
#include "integration/FaultShim.h"
#include "integration/RunSupport.h"
#include "integration/Workload.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

using namespace testsupport;

constexpr int kUsers = 20;

long Knob(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && std::atol(value) > 0 ? std::atol(value) : fallback;
}

// Files in FOLDER of the queue: the entries waiting on local, or moved aside (corrupt, hold).
long FilesIn(const Installation& inst, const char* folder)
{
    std::error_code ec;
    std::filesystem::directory_iterator files(inst.QueueDir() + "/" + folder, ec), end;
    return ec ? 0 : std::distance(files, end);
}

long Waiting(const Installation& inst) { return FilesIn(inst, "channels/local"); }

// The log's word on each entry a walk found damaged.
std::string DamageReports(const Installation& inst)
{
    std::istringstream log(ReadFile(inst.LogFile()));
    std::string reports;
    for (std::string line; std::getline(log, line);) {
        if (line.find(" is damaged (") != std::string::npos)
            reports += line + "\n";
    }
    return reports;
}

// Picks kill points so that the runs share the queue about evenly: a run's
// share of calls is estimated from the calls spent per entry so far (starting
// from a guess of 50), and its kill point is drawn from twice that share.
class KillPoints {
public:
    explicit KillPoints(unsigned seed) : random_(seed) {}

    unsigned long Next(long waiting, int runsLeft)
    {
        const double perEntry = (calls_ + 50.0 * 10) / (entries_ + 10);
        const double share = perEntry * static_cast<double>(waiting) / std::max(runsLeft, 1);
        const auto limit = static_cast<unsigned long>(std::max(20.0, 2 * share));
        return std::uniform_int_distribution<unsigned long>(1, limit)(random_);
    }
    void Spent(unsigned long calls, long entriesDone)
    {
        calls_ += calls;
        entries_ += std::max(0L, entriesDone);
    }

private:
    std::mt19937 random_;
    double calls_ = 0, entries_ = 0;
};

struct RunCounts {
    int killed = 0, ended = 0; // ended: at the end of the queue or on the stop request
    int drainedAt = -1;        // the first run after which nothing waited on "local"
    std::vector<std::string> unexpected; // runs that ended any other way
};

// The checks every workload ends with; returns the tally for the summary.
DeliveryTally ExpectEachCopyOnce(const Installation& inst, const Workload& work)
{
    const InboxCensus census = TakeInboxCensus(work);
    const DeliveryTally tally = Tally(work, census);
    EXPECT_EQ(tally.missing, 0);
    EXPECT_EQ(tally.duplicates, 0);
    EXPECT_EQ(census.differing, 0) << "copies whose text differs from the injected one";
    EXPECT_EQ(census.foreign, 0) << "visible messages that belong to no injected message";
    for (const auto& fault : census.faults)
        ADD_FAILURE() << fault;
    EXPECT_TRUE(OnChannel(inst, "local").empty());
    EXPECT_EQ(FilesIn(inst, "corrupt"), 0) << "files moved to corrupt/:\n" << DamageReports(inst);
    EXPECT_EQ(FilesIn(inst, "hold"), 0) << "entries held";
    return tally;
}

// A stop request at a random moment of the process the run restarted into
// after the agent's share of 2001 messages: it finishes the message in hand
// and ends with 0. Needs a queue well beyond that share.
void StopAfterARestart(const Installation& inst, std::mt19937& random)
{
    ShimOptions options;
    options.signal = SIGTERM;
    options.inImage = 1;
    options.killOnIdle = true; // a queue done before the stop would otherwise keep it waiting
    // Every message takes several file changes: this falls within the first hundred after the restart.
    options.killAt = std::uniform_int_distribution<unsigned long>(1, 300)(random);
    auto run = StartWithShim(inst, {"run"}, options);
    std::string output;
    run.Communicate("", output);
    EXPECT_EQ(run.Wait(), 0) << output;
    EXPECT_EQ(CountLogged(inst, "Run", "5 Run: Restarting after"), 1);
    const auto lines = LogLines(inst, "Run");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("5 Run: Delivery run ends (stop requested), status 0")) << lines.back();
}

TEST(CrashHarness, RunsKilledAtRandomMomentsDeliverEveryCopyExactlyOnce)
{
    const auto seed = static_cast<unsigned>(Knob("LOCMAIL_CRASH_SEED", 20261206));
    const int runs = static_cast<int>(Knob("LOCMAIL_CRASH_RUNS", 300));
    Installation inst(Medium::Memory);
    Workload work = MakeWorkload(seed, kUsers, static_cast<int>(Knob("LOCMAIL_CRASH_MESSAGES", 2500)));
    Install(inst, work);
    if (HasFatalFailure())
        return;
    // A run killed soon after its start kills the same first entry again: the
    // kills count against it (exercised here), but must not hold it.
    SetConfig(inst, "Queue", "HoldAfterCrashes", std::to_string(10 * runs));

    std::mt19937 random(seed);
    if (work.messages.size() > 2200)
        StopAfterARestart(inst, random);
    KillPoints points(seed);
    RunCounts counts;
    for (int r = 0; r < runs; ++r) {
        const bool service = r % 2 == 1; // service runs also die when they go idle
        const bool stop = r % 5 == 2;    // a stop request at that moment instead of a kill
        const long before = Waiting(inst);
        ShimOptions options;
        options.killAt = points.Next(before, runs - r);
        options.killOnIdle = service;
        options.signal = stop ? SIGTERM : SIGKILL;
        auto run = StartWithShim(inst, service ? std::vector<std::string>{"run"} : std::vector<std::string>{"run", "--once"},
                                 options);
        std::string output;
        run.Communicate("", output);
        const int status = run.Wait();
        const long after = Waiting(inst);
        points.Spent(options.killAt, before - after);
        if (after == 0 && counts.drainedAt < 0)
            counts.drainedAt = r;
        if (status == kKilled)
            ++counts.killed;
        else if (status == 0 && (stop || !service))
            ++counts.ended;
        else
            counts.unexpected.push_back("run " + std::to_string(r) + " (kill point " + std::to_string(options.killAt) +
                                        ") ended with " + std::to_string(status) + ": " + output);
    }
    const long leftForLastRun = Waiting(inst);
    auto last = inst.Run({"run", "--once"});
    EXPECT_EQ(last.exitCode, 0) << last.output;
    for (const auto& what : counts.unexpected)
        ADD_FAILURE() << what;

    const DeliveryTally tally = ExpectEachCopyOnce(inst, work);
    long wrongReturns = 0;
    for (const auto& [unknown, times] : ReturnedMailFor(inst, work)) {
        EXPECT_EQ(times, 1) << "returned mails for " << unknown;
        wrongReturns += times != 1;
    }
    std::printf("crash harness: seed %u, %d runs: %d killed, %d ended with 0, %zu unexpected; queue empty after run "
                "%d, %ld entries left for the last run; %ld copies expected, %ld filed, %ld duplicates, %ld missing; "
                "%zu unknown recipients, %ld without exactly one returned mail\n",
                seed, runs, counts.killed, counts.ended, counts.unexpected.size(), counts.drainedAt, leftForLastRun,
                tally.expected,
                tally.delivered, tally.duplicates, tally.missing, work.unknown.size(), wrongReturns);
}

TEST(PowerCut, NoQueueEntryIsForgottenBeforeTheStoreWritesForItAreSynced)
{
    Installation inst(Medium::Memory);
    Workload work = MakeWorkload(20261207, kUsers, static_cast<int>(Knob("LOCMAIL_POWERCUT_MESSAGES", 600)));
    Install(inst, work);
    if (HasFatalFailure())
        return;
    ShimOptions options;
    options.trace = inst.Dir() + "/trace";
    auto run = StartWithShim(inst, {"run", "--once"}, options);
    std::string output;
    run.Communicate("", output);
    ASSERT_EQ(run.Wait(), 0) << output;

    const DurabilityVerdict verdict = CheckRemovalsFollowSync(options.trace, inst.Dir() + "/store", inst.QueueDir());
    ASSERT_GT(verdict.storeWrites, 0) << "the trace saw no store write: is the shim loaded?";
    ASSERT_GE(verdict.removals, static_cast<long>(work.messages.size())) << "the trace missed queue removals";
    EXPECT_EQ(verdict.unsafeRemovals, 0) << verdict.firstUnsafe;
    ExpectEachCopyOnce(inst, work);
    std::printf("power cut: %ld store writes, %ld syncs covering them, %ld queue removals, %ld before their sync\n",
                verdict.storeWrites, verdict.storeSyncs, verdict.removals, verdict.unsafeRemovals);
}

} // namespace
