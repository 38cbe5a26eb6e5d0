// Per-recipient outcomes: deferred recipients stay queued with a growing wait,
// until the queue lifetime ends; the rest of the entry is let go.
#include "QueueFixture.h"

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueListing.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

namespace {

using namespace mqtest;
using locmail::mq::ChannelDeferral;
using locmail::mq::kNoMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Addresses(const locmail::mq::EnvelopeData& envelope)
{
    std::vector<std::string> out;
    for (const auto& r : envelope.recipients)
        out.push_back(r.address);
    return out;
}

// An entry on local and localout: local's deferral holds back local only.
TEST_F(QueueTest, DeferralKeepsTheDeferredLocalRecipientsAndEveryOtherChannelsOnly)
{
    uint32_t id = Inject(kText, "s@x", {{"a@x", "local"}, {"b@y", "localout"}, {"c@x", "LOCAL"}, {"d@x", "local"}},
                         {"local", "localout"});
    ASSERT_NE(id, 0u);
    const auto before = OnDisk(id);

    EXPECT_THAT(Walk("local", true, {2, 1}), ElementsAre(id)) << "b is localout's and stays anyway";
    EXPECT_THAT(Walk("localout", true), ElementsAre(id));
    auto after = OnDisk(id);
    EXPECT_THAT(Addresses(after), ElementsAre("b@y", "c@x"));
    EXPECT_THAT(after.deferrals, ElementsAre(ChannelDeferral{"local", 1, kStartSeconds + 60}));
    EXPECT_EQ(after.key, before.key);
    EXPECT_EQ(after.arrived, before.arrived);
    EXPECT_THAT(QueuedEntryIds("local"), ElementsAre(id)) << "the marker stays";
    EXPECT_THAT(locmail::mq::ListEntries(queue_).entries.at(0).deferrals,
                ElementsAre(locmail::mq::ListedDeferral{"local", 1, kStartSeconds + 60, {"c@x"}}));

    // Not due: skipped, and the walk tells when it will be.
    MQContext* ctx = OpenMQChannel("local");
    EXPECT_EQ(GetFirstMessage(ctx, false), kNoMessage);
    EXPECT_EQ(EarliestDeferredAttempt(), kStartSeconds + 60);
    g_nowMs += 60'000;
    EXPECT_EQ(GetFirstMessage(ctx, false), id);
    EXPECT_TRUE(RemoveMQChannel(ctx));
    CloseMQChannel(ctx);
    EXPECT_EQ(EarliestDeferredAttempt(), 0);
    EXPECT_THAT(Names(Path("entries")), IsEmpty());
}

TEST_F(QueueTest, TheWaitDoublesFromTheMinimumUpToTheMaximum)
{
    QueueSettings("RetryMinSeconds = 60\nRetryMaxSeconds = 300\n");
    uint32_t id = Inject(kText, "s@x", {{"a@x", "local"}});
    for (int64_t wait : {60, 120, 240, 300, 300}) {
        ASSERT_THAT(Walk("local", true, {0}), ElementsAre(id)) << wait;
        auto deferral = OnDisk(id).deferrals.at(0);
        EXPECT_EQ(deferral.nextAttempt - NowSeconds(), wait) << "attempt " << deferral.attempts;
        g_nowMs = deferral.nextAttempt * 1000;
    }
    EXPECT_EQ(OnDisk(id).deferrals.at(0).attempts, 5u);
}

TEST_F(QueueTest, NoDeferralAfterTheLifetimeOrWithoutAClaimedRecipient)
{
    QueueSettings("MaxLifetimeSeconds=100\n");
    ASSERT_NE(Inject(kText, "s@x", {{"a@x", "local"}, {"b@x", "local"}}), 0u);
    EXPECT_FALSE(DeferMQRecipient(nullptr, 0));
    MQContext* ctx = OpenMQChannel("local");
    EXPECT_FALSE(DeferMQRecipient(ctx, 0)) << "nothing claimed";
    ASSERT_NE(GetFirstMessage(ctx, false), kNoMessage);
    EXPECT_FALSE(DeferMQRecipient(ctx, 2)) << "out of range";
    g_nowMs += 99'000;
    EXPECT_TRUE(DeferMQRecipient(ctx, 0));
    g_nowMs += 1'000;
    EXPECT_FALSE(DeferMQRecipient(ctx, 1)) << "outlived";
    ASSERT_TRUE(RemoveMQChannel(ctx));
    EXPECT_FALSE(DeferMQRecipient(ctx, 0)) << "removed";
    CloseMQChannel(ctx);
    g_nowMs += 60'000;
    auto left = Walk();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_THAT(Addresses(OnDisk(left[0])), ElementsAre("a@x")) << "the earlier deferral stands";
}

// Entries written by tools that predate keys: the key comes from the file, and stays once rewritten.
TEST_F(QueueTest, AVersionOneEntryGetsAStableKeyThatADeferralKeeps)
{
    QueueSettings("RetryMinSeconds=0\n");
    const uint32_t id = 0x2A;
    locmail::mq::EnvelopeData v1;
    v1.messageSize = kText.size();
    v1.channels = {{"local", 255}};
    v1.senders = {{"s@x", "", 0, 0, "", "local"}};
    v1.recipients = {{"a@x", "", 0, "", "local"}, {"b@x", "", 0, "", "local"}};
    locmail::mq::QueuePaths paths(queue_);
    testsupport::WriteFile(paths.EntryFile(id, ".msg"), kText);
    testsupport::WriteFile(paths.EntryFile(id, ".env"), locmail::mq::FormatEnvelopeFile(v1));
    std::filesystem::create_directories(paths.Channel("local"));
    testsupport::WriteFile(paths.Marker("local", id), "");
    struct stat st;
    ASSERT_EQ(::stat(paths.EntryFile(id, ".env").c_str(), &st), 0);

    std::vector<std::string> keys;
    for (int walk = 0; walk < 2; ++walk) {
        MQContext* ctx = OpenMQChannel("local");
        ASSERT_EQ(GetFirstMessage(ctx, false), id);
        ASSERT_NE(GetMQDeliveryKey(ctx), nullptr);
        keys.push_back(GetMQDeliveryKey(ctx));
        CloseMQChannel(ctx);
    }
    const std::string key = keys[0];
    EXPECT_EQ(keys[1], key);
    EXPECT_THAT(key, ::testing::StartsWith("v1-0000002A-" + std::to_string(st.st_ino) + "-"));
    EXPECT_THAT(Walk("local", true, {1}), ElementsAre(id));
    auto rewritten = OnDisk(id);
    EXPECT_EQ(rewritten.key, key);
    EXPECT_EQ(rewritten.arrived, st.st_mtim.tv_sec);
    EXPECT_THAT(testsupport::ReadFile(paths.EntryFile(id, ".env")), ::testing::StartsWith("locmail-envelope 2\n"));

    // A rewrite cut short leaves its new file in tmp/: the next walk drops it, the envelope stands.
    testsupport::WriteFile(paths.TmpFile(id, ".new"), "locmail-envelope 2\npartial");
    EXPECT_THAT(Walk(), ElementsAre(id));
    EXPECT_THAT(Names(Path("tmp")), IsEmpty());
    EXPECT_EQ(OnDisk(id), rewritten);
}

} // namespace
