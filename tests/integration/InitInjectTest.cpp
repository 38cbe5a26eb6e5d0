// The locmail command end to end: init, inject and queue ls on real installations.
#include "integration/LocmailCommand.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/QueueListing.h"

#include <gtest/gtest.h>

#include <sysexits.h>

namespace {

using testsupport::Installation;
using testsupport::ReadFile;

const std::string kMessage =
    "From: Alice <alice@example.org>\r\n"
    "To: bob@example.org\r\n"
    "Subject: Lunch\r\n"
    "\r\n"
    "Noon?\r\n";

std::string QueuedText(const Installation& inst, uint32_t id)
{
    return ReadFile(inst.QueueDir() + "/entries/" + locmail::mq::EntryName(id) + ".msg");
}

TEST(InitCommand, MakesAWorkingInstallationAndKeepsItsConfigurationWhenRunAgain)
{
    Installation inst;
    std::string config = ReadFile(inst.Config());
    EXPECT_NE(config.find("QueueDirectory=" + inst.QueueDir()), std::string::npos);
    EXPECT_NE(config.find("MailForInvalidLocalUser=Bounce"), std::string::npos);

    testsupport::WriteFile(inst.Config(), config + "; edited by hand\n");
    auto again = testsupport::RunLocmail({"init", inst.Dir()});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(ReadFile(inst.Config()).find("; edited by hand"), std::string::npos);
}

TEST(InjectCommand, QueuesOneEntryOnLocalWithEveryRecipientAndTheTextByteForByte)
{
    Installation inst;
    auto run = inst.Run({"inject", "-f", "alice@example.org", "bob@example.org", "carol@example.org"}, kMessage);
    ASSERT_EQ(run.exitCode, 0) << run.output;

    auto listing = locmail::mq::ListEntries(inst.QueueDir());
    ASSERT_TRUE(listing.readable) << listing.fault;
    ASSERT_EQ(listing.entries.size(), 1u);
    const auto& entry = listing.entries[0];
    EXPECT_EQ(entry.sender, "alice@example.org");
    EXPECT_EQ(entry.channels, std::vector<std::string>{"local"});
    std::vector<locmail::mq::ListedRecipient> want{{"bob@example.org", "local"}, {"carol@example.org", "local"}};
    EXPECT_EQ(entry.recipients, want);
    EXPECT_EQ(entry.size, kMessage.size());
    EXPECT_EQ(QueuedText(inst, entry.id), kMessage);

    auto ls = inst.Run({"queue", "ls"});
    EXPECT_EQ(ls.exitCode, 0);
    EXPECT_NE(ls.output.find("bob@example.org (local), carol@example.org (local)"), std::string::npos) << ls.output;
    EXPECT_NE(ls.output.find("1 message(s)"), std::string::npos) << ls.output;
}

TEST(InjectCommand, GivesBareLineFeedsTheirCarriageReturnsAndKeepsNulBytes)
{
    Installation inst;
    std::string text("Subject: x\n\nbody\0with nul\n", 27);
    ASSERT_EQ(inst.Run({"inject", "-f", "", "bob@example.org"}, text).exitCode, 0);

    auto listing = locmail::mq::ListEntries(inst.QueueDir());
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].sender, "");
    EXPECT_EQ(QueuedText(inst, listing.entries[0].id), std::string("Subject: x\r\n\r\nbody\0with nul\r\n", 30));
    EXPECT_NE(ReadFile(inst.LogFile()).find("contains NUL bytes"), std::string::npos);
}

TEST(InjectCommand, RefusesBadInputWithTheRightStatusAndQueuesNothing)
{
    Installation inst;
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
    } cases[] = {
        {{"inject", "-f", "a@x", "bob@example.org"}, "", EX_NOINPUT},
        {{"inject", "-f", "a@x", "bad\naddress@example.org"}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a@x", std::string(1024, 'b')}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a\x01@x", "bob@example.org"}, kMessage, EX_DATAERR},
        {{"inject", "-f", "a@x"}, kMessage, EX_USAGE},
        {{"inject", "bob@example.org"}, kMessage, EX_USAGE},
    };
    for (const auto& c : cases) {
        auto run = inst.Run(c.args, c.input);
        EXPECT_EQ(run.exitCode, c.status) << c.args.back() << ": " << run.output;
        EXPECT_FALSE(run.output.empty()) << "a refusal says why";
    }
    EXPECT_TRUE(locmail::mq::ListEntries(inst.QueueDir()).entries.empty());
}

TEST(InjectCommand, ExplainsAMissingConfigurationOrQueue)
{
    testsupport::TempDir temp;
    auto noConfig = testsupport::RunLocmail({"--config", temp / "none.ini", "inject", "-f", "a@x", "b@y"}, kMessage);
    EXPECT_EQ(noConfig.exitCode, EX_CONFIG);
    EXPECT_NE(noConfig.output.find("locmail init"), std::string::npos) << noConfig.output;

    Installation inst;
    std::filesystem::remove_all(inst.QueueDir());
    auto noQueue = inst.Run({"inject", "-f", "a@x", "b@y"}, kMessage);
    EXPECT_EQ(noQueue.exitCode, EX_TEMPFAIL) << noQueue.output;
    EXPECT_EQ(inst.Run({"queue", "ls"}).exitCode, EX_UNAVAILABLE);
}

} // namespace
