// Group commit: with a walk control, finished entries stay whole and claimed
// until one MakeDurable for their batch has succeeded.
#include "QueueFixture.h"


#include <gmock/gmock.h>

#include <cerrno>
#include <functional>

namespace {

using namespace mqtest;
using locmail::mq::BatchLimits;
using locmail::mq::kNoMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class FakeControl : public locmail::mq::WalkControl {
public:
    int MakeDurable() override
    {
        ++durableCalls;
        if (onDurable)
            onDurable();
        return result;
    }
    void BetweenMessages() override { ++betweenCalls; }

    int result = 0;
    int durableCalls = 0;
    int betweenCalls = 0;
    std::function<void()> onDurable;
};

class BatchTest : public QueueTest {
protected:
    void Control(BatchLimits limits) { locmail::mq::SetWalkControl(&control_, limits); }
    std::vector<uint32_t> InjectSome(int n)
    {
        std::vector<uint32_t> ids;
        for (int i = 0; i < n; ++i)
            ids.push_back(Inject(kText, "s@x", {{"r" + std::to_string(i) + "@x", "local"}}));
        return ids;
    }
    std::size_t EntryFiles() { return Names(Path("entries")).size(); }

    FakeControl control_;
};

// One sync point per batch, at the end of the walk: nothing is removed or
// rewritten before MakeDurable succeeded and all of it after; when it fails,
// nothing is and the entries are offered again.
TEST_F(BatchTest, FinishedEntriesGoOnlyOnceTheirBatchIsDurable)
{
    for (int result : {EIO, 0}) {
        SCOPED_TRACE(result);
        auto ids = InjectSome(3);
        Control({10, 1000});
        control_.result = result;
        control_.durableCalls = control_.betweenCalls = 0;
        control_.onDurable = [&] {
            EXPECT_EQ(EntryFiles(), 6u);
            EXPECT_THAT(QueuedEntryIds("local"), SizeIs(3));
            EXPECT_THAT(OnDisk(ids[1]).deferrals, IsEmpty());
        };
        MQContext* ctx = OpenMQChannel("local");
        std::vector<uint32_t> seen;
        for (uint32_t id = GetFirstMessage(ctx, false); id != kNoMessage; id = GetNextMessage(ctx, false)) {
            seen.push_back(id);
            if (id == ids[1]) {
                ASSERT_TRUE(DeferMQRecipient(ctx, 0));
            }
            ASSERT_TRUE(RemoveMQChannel(ctx));
            EXPECT_FALSE(RemoveMQChannel(ctx));
            EXPECT_EQ(EntryFiles(), 6u);
            EXPECT_EQ(control_.durableCalls, 0);
        }
        EXPECT_EQ(seen, ids);
        EXPECT_EQ(control_.durableCalls, 1);
        EXPECT_EQ(control_.betweenCalls, 4);
        if (result == 0) {
            EXPECT_THAT(QueuedEntryIds("local"), ElementsAre(ids[1]));
            EXPECT_THAT(OnDisk(ids[1]).deferrals, SizeIs(1));
            EXPECT_EQ(EarliestDeferredAttempt(), kStartSeconds + 60);
        } else {
            EXPECT_EQ(GetFirstMessage(ctx, false), ids[0]) << "the claims were let go";
            EXPECT_EQ(EntryFiles(), 6u);
            for (uint32_t id : ids)
                EXPECT_THAT(OnDisk(id).deferrals, IsEmpty());
        }
        CloseMQChannel(ctx);
        locmail::mq::SetWalkControl(nullptr);
        Walk("local", true);
    }
}

// Each way a batch is finished: full, old enough, the walk closed, or flushed by the host.
TEST_F(BatchTest, ABatchIsFinishedWhenFullOldClosedOrFlushed)
{
    struct Case {
        const char* name;
        BatchLimits limits;
        std::function<void(MQContext*)> trigger; // with ids[0] removed and ids[1] claimed
        std::vector<int> left;                   // indexes into ids of the entries still queued after it
    };
    const Case cases[] = {
        {"full", {2, 1000}, [](MQContext* ctx) { EXPECT_TRUE(RemoveMQChannel(ctx)); }, {2}},
        {"old", {10, 50}, [](MQContext* ctx) { g_nowMs += 1; EXPECT_NE(GetNextMessage(ctx, false), kNoMessage); },
         {1, 2}},
        {"closed", {10, 1000}, [](MQContext* ctx) { CloseMQChannel(ctx); }, {1, 2}},
        {"flushed", {10, 1000}, [](MQContext*) { EXPECT_TRUE(FlushFinishedEntries()); }, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ids = InjectSome(3);
        Control(c.limits);
        control_.durableCalls = 0;
        MQContext* ctx = OpenMQChannel("local");
        ASSERT_EQ(GetFirstMessage(ctx, false), ids[0]);
        ASSERT_TRUE(RemoveMQChannel(ctx));
        g_nowMs += c.limits.maxDelayMs - 1;
        ASSERT_EQ(GetNextMessage(ctx, false), ids[1]);
        EXPECT_EQ(control_.durableCalls, 0) << "neither full nor old yet";
        c.trigger(ctx);
        EXPECT_EQ(control_.durableCalls, 1);
        std::vector<uint32_t> left;
        for (int i : c.left)
            left.push_back(ids[i]);
        EXPECT_EQ(QueuedEntryIds("local"), left);
        if (std::string(c.name) != "closed")
            CloseMQChannel(ctx);
        locmail::mq::SetWalkControl(nullptr);
        Walk("local", true);
    }
}

// Two walkers of one channel: a claimed entry, or one finished but pending in a batch, is
// offered to no other walker; one moved past without removal is free again.
TEST_F(BatchTest, ClaimedAndPendingEntriesAreOfferedToNoOtherWalker)
{
    auto ids = InjectSome(2);
    MQContext* one = OpenMQChannel("local");
    MQContext* two = OpenMQChannel("local");
    EXPECT_EQ(GetFirstMessage(one, false), ids[0]);
    EXPECT_EQ(GetFirstMessage(two, false), ids[1]);
    EXPECT_EQ(GetNextMessage(two, false), kNoMessage);
    EXPECT_EQ(GetNextMessage(one, false), ids[1]) << "ids[0] let go without removal (a stop request)";
    EXPECT_EQ(GetFirstMessage(two, false), ids[0]);
    EXPECT_EQ(GetNextMessage(two, false), kNoMessage);

    Control({10, 1000});
    ASSERT_EQ(GetFirstMessage(one, false), ids[0]);
    ASSERT_TRUE(RemoveMQChannel(one));
    EXPECT_EQ(GetFirstMessage(two, false), ids[1]) << "not the pending entry";
    EXPECT_EQ(GetFirstMessage(one, false), kNoMessage) << "nor does its own walk, started again, take it";
    EXPECT_EQ(control_.durableCalls, 1) << "that walk ended and finished its batch";
    EXPECT_EQ(GetNextMessage(two, false), kNoMessage);
    EXPECT_THAT(QueuedEntryIds("local"), ElementsAre(ids[1]));
    CloseMQChannel(one);
    CloseMQChannel(two);
}

} // namespace
