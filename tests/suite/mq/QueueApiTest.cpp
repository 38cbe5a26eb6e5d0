#include "QueueFixture.h"

#include "support/CaptureLog.h"
#include "suite/mq/DeliveryKey.h"
#include "suite/mq/OutgoingKey.h"
#include "suite/mq/QueueListing.h"
#include "suite/mq/QueueState.h"
#include "suite/mq/QueueText.h"
#include "suite/platform/Files.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <tuple>

namespace {

using namespace mqtest;
using locmail::mq::EntryName;
using locmail::mq::kNoMessage;
using locmail::mq::kQueueUnreachable;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kBytes = "From: a@example.org\r\nSubject: hi\r\n\r\nbody\r\n\x01\xFF bytes\r\n";

// A new entry with its text written, not yet committed.
MQContext* EntryWithText()
{
    MQContext* entry = CreateMQEntry();
    if (entry != nullptr)
        testsupport::WriteFile(GetMQPathName(entry, ".msg"), kBytes);
    return entry;
}

// Channel names match without regard to case and never name anything outside channels/.
TEST_F(QueueTest, InjectedEntriesAreListedReadBackAndWalkedInIdOrder)
{
    uint32_t id = Inject(kBytes, "a@example.org", {{"b@example.org", "local"}, {"c d@example.org", "local"}});
    ASSERT_NE(id, 0u);
    auto listing = locmail::mq::ListEntries(queue_);
    ASSERT_EQ(listing.entries.size(), 1u);
    const auto& e = listing.entries[0];
    EXPECT_EQ(std::make_tuple(e.id, e.size, e.sender, e.arrived),
              std::make_tuple(id, kBytes.size(), std::string("a@example.org"), kStartSeconds));
    EXPECT_THAT(e.recipients, ElementsAre(locmail::mq::ListedRecipient{"b@example.org", "local"},
                                          locmail::mq::ListedRecipient{"c d@example.org", "local"}));
    EXPECT_EQ(testsupport::ReadFile(GetMQPathName(id, ".msg")), kBytes);
    EXPECT_THAT(Names(Path("tmp")), IsEmpty());
    stEnvelope* env = GetMQEnvelope(id);
    ASSERT_NE(env, nullptr);
    ASSERT_EQ(env->rcpt.count, 2);
    EXPECT_STREQ(static_cast<_envFrom*>(env->from.head->item)->address, "a@example.org");
    EXPECT_STREQ(static_cast<_envRcpt*>(env->rcpt.head->next->item)->address, "c d@example.org");
    FreeMQEnvelope(env);

    std::vector<uint32_t> injected{id};
    for (int i = 0; i < 3; ++i)
        injected.push_back(InjectOne());
    ASSERT_NE(Inject(kBytes, "s@x", {{"r@y", "LocalOut"}}, {"LocalOut"}), 0u);
    EXPECT_EQ(Walk("LOCAL"), injected);
    EXPECT_EQ(Walk("local"), injected) << "nothing was removed, so a new walk offers the same entries";
    EXPECT_EQ(QueuedEntryIds("Local"), injected);
    EXPECT_THAT(QueuedEntryIds("../entries"), IsEmpty());
    EXPECT_EQ(Walk("localout").size(), 1u);
    EXPECT_THAT(Names(Path("channels")), ElementsAre("local", "localout"));

    locmail::log::CaptureLog log;
    for (const std::string& bad : {std::string("../entries"), std::string(), std::string(".hidden"), std::string(65, 'a')})
        EXPECT_EQ(OpenMQChannel(bad.c_str()), nullptr) << bad;
    EXPECT_EQ(OpenMQChannel(nullptr), nullptr);
    EXPECT_EQ(log.Lines().at(0), "1 Queue: \"../entries\" is not a valid queue channel name");
}

TEST_F(QueueTest, AQueueDirectoryMissingOrNotConfiguredIsRefusedAndALostOneIsUnreachable)
{
    EXPECT_FALSE(MQInit((tmp_ / "nowhere").c_str(), "Mod"));
    const std::string config = tmp_ / "qxmta.ini";
    ::setenv("LOCMAIL_CONFIG", config.c_str(), 1);
    testsupport::WriteFile(config, "[Gateway]\nQueueDirectory=\n");
    EXPECT_FALSE(MQInit("Queue", "Mod"));
    testsupport::WriteFile(config, "[gateway]\nQueueDirectory = relative/dir\n");
    EXPECT_FALSE(MQInit("", "Mod"));
    testsupport::WriteFile(config, "[Gateway]\n  queuedirectory =  " + queue_ + "  \n");
    EXPECT_TRUE(MQInit("Queue", "Mod"));
    EXPECT_EQ(locmail::mq::QueueDirectory(), queue_);

    ASSERT_NE(InjectOne(), 0u);
    MQContext* ctx = OpenMQChannel("local");
    ASSERT_NE(ctx, nullptr);
    std::filesystem::remove_all(queue_);
    EXPECT_EQ(GetFirstMessage(ctx, false), kQueueUnreachable);
    EXPECT_EQ(GetNextMessage(ctx, false), kQueueUnreachable);
    CloseMQChannel(ctx);
    EXPECT_EQ(GetFirstMessage(nullptr, false), kQueueUnreachable);
}

TEST_F(QueueTest, RemovingTheLastChannelDeletesTheEntry)
{
    ASSERT_NE(Inject(kBytes, "s@x", {{"r@x", "local"}, {"f@y", "localout"}}, {"local", "localout"}), 0u);
    auto removeFirst = [](const char* channel) {
        MQContext* ctx = OpenMQChannel(channel);
        uint32_t id = GetFirstMessage(ctx, false);
        EXPECT_TRUE(RemoveMQChannel(ctx));
        EXPECT_FALSE(RemoveMQChannel(ctx)) << "a second removal has nothing to remove";
        EXPECT_EQ(GetNextMessage(ctx, false), kNoMessage);
        CloseMQChannel(ctx);
        return id;
    };
    uint32_t id = removeFirst("local");
    EXPECT_TRUE(Walk("local").empty());
    EXPECT_THAT(Walk("localout"), ElementsAre(id));
    EXPECT_EQ(Names(Path("entries")).size(), 2u) << "still on localout";
    EXPECT_EQ(removeFirst("localout"), id);
    EXPECT_THAT(Names(Path("entries")), IsEmpty());
    EXPECT_THAT(Names(Path("channels/local")), IsEmpty());
    EXPECT_THAT(Names(Path("channels/localout")), IsEmpty());

    // A removal stopped between the text and the envelope is finished by the next walk, not taken for damage.
    InjectOne();
    const std::string name = Names(Path("channels/local")).at(0);
    std::filesystem::remove(Path("channels/local/" + name));
    std::filesystem::remove(Path("entries/" + name + ".msg"));
    EXPECT_TRUE(Walk("local").empty());
    EXPECT_THAT(Names(Path("entries")), IsEmpty());
}

// Every entry that is not committed, for any reason, leaves nothing in tmp/ or entries/.
TEST_F(QueueTest, UnfinishedEntriesLeaveNothingBehind)
{
    locmail::mq::EnvelopeBuilder env;
    env.AddSender("s@x", "local");
    MQContext* entry = EntryWithText(); // discarded after every step but the commit
    ASSERT_TRUE(InsertMQChannel(entry, "local", 255) && PutMQEnvelope(entry, env.Envelope()));
    DiscardMQEntry(entry);
    EXPECT_THAT(Names(Path("tmp")), IsEmpty());

    // A commit without a text, an envelope or a channel fails and cleans up.
    entry = CreateMQEntry();
    ASSERT_TRUE(PutMQEnvelope(entry, env.Envelope()) && InsertMQChannel(entry, "local", 255));
    EXPECT_FALSE(CloseMQEntry(entry));
    entry = EntryWithText();
    ASSERT_TRUE(InsertMQChannel(entry, "local", 255));
    EXPECT_FALSE(CloseMQEntry(entry));
    entry = EntryWithText();
    ASSERT_TRUE(PutMQEnvelope(entry, env.Envelope()));
    EXPECT_EQ(GetMQPathName(entry, ".env"), nullptr) << "the envelope file is the queue's";
    EXPECT_FALSE(InsertMQChannel(entry, "../escape", 255));
    EXPECT_FALSE(CloseMQEntry(entry));
    CloseMQChannel(EntryWithText()); // a context closed as a channel is discarded too

    // An address with a line break would start another envelope line.
    const std::pair<std::string, std::string> breaks[] = { // sender, recipient
        {"s@x", "a@x\r\nRCPT TO:<b@y>"}, {"s@x", "a@x\n"}, {"s@x", "\rb@y"}, {"s@x\r\n", "ok@x"}};
    for (const auto& [sender, recipient] : breaks) {
        entry = EntryWithText();
        locmail::mq::EnvelopeBuilder broken;
        broken.AddSender(sender, "local").AddRecipient("ok@x", "local").AddRecipient(recipient, "local");
        EXPECT_FALSE(PutMQEnvelope(entry, broken.Envelope())) << sender << " " << recipient;
        EXPECT_FALSE(PutMQEnvelope(entry, nullptr));
        DiscardMQEntry(entry);
    }

    EXPECT_THAT(Names(Path("tmp")), IsEmpty());
    EXPECT_THAT(Names(Path("entries")), IsEmpty());
}

TEST_F(QueueTest, IdsNeverCollideWhenTheSeqFileLosesItsUpdatesAndKeysNeverRepeat)
{
    std::set<uint32_t> ids = {InjectOne(), InjectOne()};
    for (const char* stale : {"", "00000000\n", "garbage", "FFFFFFFD\n"}) {
        testsupport::WriteFile(Path("seq"), stale);
        uint32_t id = InjectOne();
        EXPECT_TRUE(locmail::mq::IsValidEntryId(id)) << stale;
        EXPECT_TRUE(ids.insert(id).second) << stale << ": id " << id << " given twice";
    }
    auto walked = Walk();
    EXPECT_EQ(std::set<uint32_t>(walked.begin(), walked.end()), ids);

    // A delivered entry's id comes round again once a crash took the seq file back; its key does not.
    std::set<std::string> keys;
    for (uint32_t id : ids)
        keys.insert(OnDisk(id).key);
    MQContext* ctx = OpenMQChannel("local");
    EXPECT_EQ(GetMQDeliveryKey(ctx), nullptr);
    uint32_t first = GetFirstMessage(ctx, false);
    ASSERT_NE(GetMQDeliveryKey(ctx), nullptr);
    EXPECT_EQ(GetMQDeliveryKey(ctx), OnDisk(first).key);
    ASSERT_TRUE(RemoveMQChannel(ctx));
    CloseMQChannel(ctx);
    testsupport::WriteFile(Path("seq"), EntryName(first - 1) + "\n");
    ASSERT_EQ(InjectOne(), first);
    keys.insert(OnDisk(first).key);
    EXPECT_EQ(keys.size(), ids.size() + 1);
    for (const auto& key : keys)
        EXPECT_TRUE(locmail::mq::IsDeliveryKey(key)) << key;
}

// The agent's replay of an entry after a crash queues each returned mail again under the same scope.
TEST_F(QueueTest, MailUnderAnOutgoingKeyScopeIsQueuedOnceAndNumberedByCommit)
{
    using locmail::mq::OutgoingKeyScope;
    const std::string base = std::string(32, 'b') + ".2";
    auto queueOut = [] { return locmail::mq::QueueText(kBytes, "", {"r@x"}, "localout").id; };
    auto keys = [this] {
        std::vector<std::string> keys;
        for (uint32_t id : Walk("localout"))
            keys.push_back(OnDisk(id).key);
        return keys;
    };
    auto failedCommit = [] { // a text never written: the commit fails but takes its number
        MQContext* entry = CreateMQEntry();
        locmail::mq::EnvelopeBuilder env;
        env.AddSender("", "localout").AddRecipient("r@x", "localout");
        return InsertMQChannel(entry, "localout", 255) && PutMQEnvelope(entry, env.Envelope()) && CloseMQEntry(entry);
    };
    uint32_t first = 0, third = 0;
    {
        OutgoingKeyScope scope(base);
        EXPECT_EQ(locmail::mq::CurrentOutgoingBase(), base);
        first = queueOut();
        EXPECT_FALSE(failedCommit());
        third = queueOut();
    }
    EXPECT_THAT(keys(), ElementsAre(base + ".1", base + ".3"));
    EXPECT_EQ(locmail::mq::CurrentOutgoingBase(), std::nullopt);
    {
        OutgoingKeyScope replay(base);
        EXPECT_NE(Inject(kBytes, "", {{"r@x", "localout"}}, {"localout"}), 0u) << "CloseMQEntry reports success";
        EXPECT_FALSE(failedCommit());
        EXPECT_EQ(queueOut(), third) << "the entry that carries the mail";
        EXPECT_NE(queueOut(), 0u);
    }
    EXPECT_THAT(keys(), ElementsAre(base + ".1", base + ".3", base + ".4"));
    EXPECT_THAT(Names(Path("tmp")), IsEmpty());

    // A record counts only when the entry it names is committed with its key.
    const std::string records[] = {"", EntryName(first).substr(0, 5), "garbage\n", "0000BEEF\n", EntryName(third) + "\n"};
    for (std::size_t row = 0; row < std::size(records); ++row) {
        const std::string& record = records[row];
        const std::string other = base + "." + std::to_string(row);
        testsupport::WriteFile(Path("sent/" + other + ".1"), record);
        OutgoingKeyScope scope(other);
        uint32_t id = queueOut();
        ASSERT_NE(id, 0u);
        EXPECT_EQ(OnDisk(id).key, other + ".1") << record;
        EXPECT_EQ(testsupport::ReadFile(Path("sent/" + other + ".1")), EntryName(id) + "\n");
    }
    EXPECT_EQ(keys().size(), 3u + std::size(records));

    // A base that makes no key (it would name a file outside sent/) leaves the mail its random key.
    OutgoingKeyScope bad("../" + base);
    EXPECT_TRUE(locmail::mq::IsDeliveryKey(OnDisk(queueOut()).key));
    EXPECT_EQ(locmail::mq::CurrentOutgoingBase(), std::nullopt);

    // An LMTP transaction is queued once per key, and unsynced: its client holds the mail until it hears.
    const std::string lmtpKey = "lmtp-" + std::string(64, 'c');
    const auto fsyncs = locmail::FsyncCount();
    const uint32_t lmtp = locmail::mq::QueueText(kBytes, "s@x", {"r@x"}, "local", lmtpKey).id;
    EXPECT_NE(lmtp, 0u);
    EXPECT_EQ(locmail::mq::QueueText(kBytes, "s@x", {"r@x"}, "local", lmtpKey).id, lmtp);
    EXPECT_EQ(locmail::FsyncCount(), fsyncs);
    EXPECT_TRUE(OnDisk(lmtp).lmtp);
    queueOut();
    EXPECT_GE(locmail::FsyncCount() - fsyncs, 3u);
}

TEST_F(QueueTest, SentRecordsAreKeptForTheLifetimeAndADayThenPrunedHourly)
{
    QueueSettings("MaxLifetimeSeconds=1000\n");
    g_nowMs -= 10 * 86400 * 1000LL; // earlier than any walk so far in this process: a prune is due
    const int64_t cutoff = NowSeconds() - 1000 - 86400;
    std::filesystem::create_directory(Path("sent"));
    auto record = [&](const std::string& key, int64_t written) {
        testsupport::WriteFile(Path("sent/" + key), "00000001\n");
        const struct timespec times[2] = {{written, 0}, {written, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, Path("sent/" + key).c_str(), times, 0), 0);
    };
    record("old", cutoff - 1);
    record("kept", cutoff);
    Walk();
    EXPECT_THAT(Names(Path("sent")), ElementsAre("kept"));
    record("old", cutoff - 1);
    g_nowMs += 3599'000;
    Walk();
    EXPECT_THAT(Names(Path("sent")), ElementsAre("kept", "old")) << "within the hour";
    g_nowMs += 1'000;
    Walk();
    EXPECT_THAT(Names(Path("sent")), IsEmpty());
}

} // namespace
