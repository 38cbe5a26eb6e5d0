#include "QueueFixture.h"

#include "suite/log/CaptureLog.h"
#include "suite/mq/QueueListing.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <functional>

namespace {

using namespace mqtest;
using locmail::mq::EntryName;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kText = "Subject: x\r\n\r\nsome body text\r\n";

struct Damage {
    const char* name;
    std::function<void(const std::string& entryBase)> apply;
    std::string fault;
    std::vector<std::string> corrupt;   // extensions expected in corrupt/
};

void Replace(const std::string& path, const std::string& from, const std::string& to)
{
    std::string text = testsupport::ReadFile(path);
    text.replace(text.find(from), from.size(), to);
    testsupport::WriteFile(path, text);
}

const std::vector<Damage>& Damages()
{
    static const std::vector<Damage> damages = {
        {"truncated text", [](const std::string& b) { std::filesystem::resize_file(b + ".msg", 10); },
         "message text is 10 bytes, the envelope records " + std::to_string(kText.size()), {".env", ".msg"}},
        {"garbage line", [](const std::string& b) { Replace(b + ".env", "end\n", "rcpt what\nend\n"); },
         "envelope: line 6 is not valid", {".env", ".msg"}},
        {"no end line", [](const std::string& b) { Replace(b + ".env", "end\n", ""); },
         "envelope: no end line (truncated)", {".env", ".msg"}},
        {"envelope cut mid-line",
         [](const std::string& b) {
             std::filesystem::resize_file(b + ".env", std::filesystem::file_size(b + ".env") - 7);
         },
         "envelope: no end line (truncated)", {".env", ".msg"}},
        {"text missing", [](const std::string& b) { std::filesystem::remove(b + ".msg"); }, "message text is missing",
         {".env"}},
        {"envelope missing", [](const std::string& b) { std::filesystem::remove(b + ".env"); }, "envelope is missing",
         {".msg"}},
        {"both missing",
         [](const std::string& b) {
             std::filesystem::remove(b + ".env");
             std::filesystem::remove(b + ".msg");
         },
         "message text and envelope are missing", {}},
    };
    return damages;
}

TEST_F(QueueTest, DamagedEntriesAreSetAsideWithOneLineAndTheWalkGoesOn)
{
    for (const auto& damage : Damages()) {
        SCOPED_TRACE(damage.name);
        std::filesystem::remove_all(Path("corrupt"));
        std::filesystem::create_directory(Path("corrupt"));
        uint32_t before = Inject(kText, "s@x", {{"r@x", "local"}});
        uint32_t bad = Inject(kText, "s@x", {{"r@x", "local"}});
        uint32_t after = Inject(kText, "s@x", {{"r@x", "local"}});
        std::string base = Path("entries/" + EntryName(bad));
        damage.apply(base);

        locmail::log::CaptureLog log;
        MQContext* ctx = OpenMQChannel("local");
        std::vector<uint32_t> seen;
        for (uint32_t id = GetFirstMessage(ctx, false); id != locmail::mq::kNoMessage;
             id = GetNextMessage(ctx, false)) {
            seen.push_back(id);
            RemoveMQChannel(ctx);
        }
        CloseMQChannel(ctx);

        EXPECT_THAT(seen, ElementsAre(before, after));
        std::string outcome = damage.corrupt.empty() ? "markers dropped" : "moved to corrupt/";
        EXPECT_THAT(log.Lines(), ElementsAre("1 Queue: Queue entry " + EntryName(bad) + " is damaged (" +
                                             damage.fault + "); " + outcome));
        std::vector<std::string> expected;
        for (const auto& ext : damage.corrupt)
            expected.push_back(EntryName(bad) + ext);
        EXPECT_EQ(Names(Path("corrupt")), expected);
        EXPECT_THAT(Names(Path("entries")), IsEmpty());
        EXPECT_THAT(Names(Path("channels/local")), IsEmpty());
    }
}

TEST_F(QueueTest, CorruptFolderNeverOverwrites)
{
    uint32_t id = Inject(kText, "s@x", {{"r@x", "local"}});
    testsupport::WriteFile(Path("corrupt/" + EntryName(id) + ".msg"), "older");
    std::filesystem::resize_file(Path("entries/" + EntryName(id) + ".msg"), 3);
    locmail::log::CaptureLog log;
    EXPECT_TRUE(Walk().empty());
    EXPECT_EQ(testsupport::ReadFile(Path("corrupt/" + EntryName(id) + ".msg")), "older");
    EXPECT_EQ(testsupport::ReadFile(Path("corrupt/" + EntryName(id) + "-2.msg")), kText.substr(0, 3));
    EXPECT_TRUE(std::filesystem::exists(Path("corrupt/" + EntryName(id) + "-2.env")));
}

TEST_F(QueueTest, ListingSkipsDamagedEntriesWithANote)
{
    uint32_t good = Inject(kText, "s@x", {{"r@x", "local"}});
    uint32_t bad = Inject(kText, "s@x", {{"r@x", "local"}});
    Replace(Path("entries/" + EntryName(bad) + ".env"), "end\n", "");
    auto listing = locmail::mq::ListEntries(queue_);
    ASSERT_TRUE(listing.readable);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].id, good);
    EXPECT_THAT(listing.notes,
                ElementsAre("entry " + EntryName(bad) + " skipped: envelope: no end line (truncated)"));
    EXPECT_EQ(Names(Path("entries")).size(), 4u) << "listing changes nothing";

    auto missing = locmail::mq::ListEntries(tmp_ / "nowhere");
    EXPECT_FALSE(missing.readable);
    EXPECT_THAT(missing.fault, ::testing::HasSubstr("nowhere/entries"));
}

} // namespace
