#include "QueueFixture.h"

#include "support/CaptureLog.h"
#include "suite/mq/HoldArea.h"
#include "suite/mq/QueueListing.h"

#include <gmock/gmock.h>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

namespace {

using namespace mqtest;
using locmail::mq::EntryName;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

void Replace(const std::string& path, const std::string& from, const std::string& to)
{
    std::string text = testsupport::ReadFile(path);
    text.replace(text.find(from), from.size(), to);
    testsupport::WriteFile(path, text);
}

// A damaged entry is listed with a note, set aside beside what corrupt/ holds
// already (never over it) with one line, and the walk goes on.
TEST_F(QueueTest, DamagedEntriesAreSetAsideWithOneLineAndTheWalkGoesOn)
{
    struct Damage { // corrupt: the extensions expected in corrupt/
        std::function<void(const std::string& entryBase)> apply;
        std::string fault;
        std::vector<std::string> corrupt;
    };
    const Damage damages[] = {
        {[](auto& b) { fs::resize_file(b + ".msg", 10); },
         "message text is 10 bytes, the envelope records " + std::to_string(kText.size()), {".env", ".msg"}},
        {[](auto& b) { Replace(b + ".env", "end\n", "rcpt what\nend\n"); }, "envelope: line 8 is not valid", {".env", ".msg"}},
        {[](auto& b) { Replace(b + ".env", "end\n", ""); }, "envelope: no end line (truncated)", {".env", ".msg"}},
        {[](auto& b) { fs::resize_file(b + ".env", fs::file_size(b + ".env") - 7); }, "envelope: no end line (truncated)",
         {".env", ".msg"}},
        {[](auto& b) { fs::remove(b + ".msg"); }, "message text is missing", {".env"}},
        {[](auto& b) { fs::remove(b + ".msg"); fs::create_directory(b + ".msg"); }, "message text is not a regular file",
         {".env", ".msg"}},
        {[](auto& b) { fs::remove(b + ".env"); fs::create_directory(b + ".env"); }, "envelope is not a regular file",
         {".env", ".msg"}},
        {[](auto& b) { fs::remove(b + ".env"); }, "envelope is missing", {".msg"}},
        {[](auto& b) { fs::remove(b + ".env"); fs::remove(b + ".msg"); }, "message text and envelope are missing", {}},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.fault);
        fs::remove_all(Path("corrupt"));
        fs::create_directory(Path("corrupt"));
        uint32_t before = InjectOne(), bad = InjectOne(), after = InjectOne();
        const std::string name = EntryName(bad);
        testsupport::WriteFile(Path("corrupt/" + name + ".env"), "older");
        damage.apply(Path("entries/" + name));

        const auto listing = locmail::mq::ListEntries(queue_);
        EXPECT_EQ(listing.entries.size(), 2u);
        const bool listed = fs::is_regular_file(Path("entries/" + name + ".env"));
        EXPECT_EQ(listing.notes, listed ? std::vector<std::string>{"entry " + name + " skipped: " + damage.fault}
                                        : std::vector<std::string>{});

        locmail::log::CaptureLog log;
        EXPECT_THAT(Walk("local", true), ElementsAre(before, after));
        std::string outcome = damage.corrupt.empty() ? "markers dropped" : "moved to corrupt/";
        EXPECT_THAT(log.Lines(), ElementsAre("1 Queue: Queue entry " + name + " is damaged (" + damage.fault +
                                             "); " + outcome));
        std::vector<std::string> expected;
        for (const auto& ext : damage.corrupt)
            expected.push_back(name + "-2" + ext);
        expected.push_back(name + ".env");
        EXPECT_EQ(Names(Path("corrupt")), expected);
        EXPECT_EQ(testsupport::ReadFile(Path("corrupt/" + name + ".env")), "older");
        EXPECT_THAT(Names(Path("entries")), IsEmpty());
        EXPECT_THAT(Names(Path("channels/local")), IsEmpty());
    }
    EXPECT_FALSE(locmail::mq::ListEntries(tmp_ / "nowhere").readable);
}

// Out of descriptors (or memory, or a failing disk) is no damage: the entries
// stay where they are, with a line, and are handed out once the fault passes.
TEST_F(QueueTest, EntriesThatCannotBeReadNowStayQueued)
{
    uint32_t first = InjectOne(), second = InjectOne();
    locmail::log::CaptureLog log;
    MQContext* ctx = OpenMQChannel("local");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    close(lowestFree);
    rlimit oneLeft = saved; // the claim takes the last descriptor; the envelope finds none
    oneLeft.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &oneLeft), 0);
    const uint32_t starved = GetFirstMessage(ctx, false);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(starved, locmail::mq::kNoMessage);
    for (uint32_t id : {first, second})
        EXPECT_THAT(log.Lines(), Contains("2 Queue: Queue entry " + EntryName(id) +
                                          " cannot be checked now (envelope cannot be read now: Too many open files); "
                                          "it stays queued"));
    EXPECT_FALSE(fs::exists(Path("corrupt/" + EntryName(first) + ".env")));
    std::vector<uint32_t> seen;
    for (uint32_t id = GetFirstMessage(ctx, false); id != locmail::mq::kNoMessage; id = GetNextMessage(ctx, false))
        seen.push_back(id);
    CloseMQChannel(ctx);
    EXPECT_THAT(seen, ElementsAre(first, second));
}

// Names read from the queue's own files never lead outside it, and what is
// not an entry is neither claimed nor reported again on every walk.
TEST_F(QueueTest, NamesReadFromTheQueueStayInsideIt)
{
    uint32_t tampered = InjectOne(), good = InjectOne();
    const std::string name = EntryName(tampered), folder = EntryName(good + 1);
    Replace(Path("entries/" + name + ".env"), "channel 255 local\n", "channel 255 ../../escaped\n");
    fs::remove(Path("channels/local/" + name)); // the sweep then puts it back on its channels
    fs::create_directory(Path("channels/local/" + folder));

    locmail::log::CaptureLog log;
    EXPECT_THAT(Walk(), ElementsAre(good));
    EXPECT_THAT(Walk(), ElementsAre(good));
    EXPECT_THAT(log.Lines(), ElementsAre("1 Queue: Queue entry " + name +
                                         " is damaged (envelope: line 5 is not valid); moved to corrupt/"));
    EXPECT_FALSE(fs::exists(tmp_ / "escaped"));
    EXPECT_THAT(Names(Path("channels")), ElementsAre("local"));
    EXPECT_TRUE(fs::is_directory(Path("channels/local/" + folder))) << "not ours: left alone";
}

using locmail::mq::QueuePaths;

// An entry the agent holds for its shape leaves every walk, survives a hold cut
// short, and comes back whole when released. Held for its crashes and counted
// anew once released: tests/integration/RunTest.cpp.
TEST_F(QueueTest, HeldEntriesLeaveTheWalkUntilReleased)
{
    const uint32_t shaped = InjectOne(), other = InjectOne();
    const QueuePaths paths(queue_);
    MQContext* ctx = OpenMQChannel("local");
    ASSERT_EQ(GetFirstMessage(ctx, false), shaped);
    EXPECT_TRUE(HoldMQEntry(ctx, "its header has no end"));
    EXPECT_EQ(GetNextMessage(ctx, false), other);
    CloseMQChannel(ctx);
    const std::string a = EntryName(shaped);
    EXPECT_THAT(Names(Path("hold")), ElementsAre(a + ".env", a + ".msg", a + ".why"));

    locmail::log::CaptureLog log;
    fs::rename(Path("hold/" + a + ".msg"), Path("entries/" + a + ".msg")); // a hold cut short
    EXPECT_THAT(Walk(), ElementsAre(other));
    EXPECT_THAT(log.Lines(), ElementsAre("2 Queue: Queue entry " + a + " was being held by a stopped process; "
                                         "move to hold/ finished"));
    auto held = locmail::mq::ListHeld(paths);
    ASSERT_EQ(held.entries.size(), 1u);
    EXPECT_EQ(held.entries[0].reason, "its header has no end");
    EXPECT_TRUE(locmail::mq::ReleaseHeldEntry(paths, "Queue", shaped).ok);
    EXPECT_EQ(locmail::mq::ReleaseHeldEntry(paths, "Queue", shaped).fault,
              "entry " + a + " is not held (no " + Path("hold/" + a) + ".env/.msg)");
    EXPECT_THAT(Names(Path("hold")), IsEmpty());
    EXPECT_THAT(Walk(), ElementsAre(shaped, other));
}

} // namespace
