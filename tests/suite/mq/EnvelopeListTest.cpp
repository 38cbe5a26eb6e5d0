#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/EnvelopeConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace locmail::mq;

TEST(EnvelopeList, AppendsAfterTheLastNodeAndWalksInOrder)
{
    stEnvList list{nullptr, nullptr, 0};
    int items[3] = {1, 2, 3};
    for (int& item : items)
        ASSERT_TRUE(AppendEnvItem(list, &item));
    EXPECT_EQ(list.count, 3);
    ResetEnvCursor(list);
    for (int& item : items)
        EXPECT_EQ(NextEnvItem(list), &item);
    EXPECT_EQ(NextEnvItem(list), nullptr);
    ResetEnvCursor(list);
    EXPECT_EQ(NextEnvItem(list), &items[0]);
    ReleaseEnvNodes(list);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.count, 0);
}

TEST(EnvelopeList, BuilderFillsTheRecordsTheForwardDescribes)
{
    EnvelopeBuilder builder;
    builder.AddSender("user@example.org", "localout").AddRecipient("a@x", "localout").AddRecipient("b@y", "local");
    stEnvelope* env = builder.Envelope();
    ASSERT_EQ(env->from.count, 1);
    ASSERT_EQ(env->rcpt.count, 2);
    auto* from = static_cast<_envFrom*>(env->from.head->item);
    EXPECT_STREQ(from->address, "user@example.org");
    EXPECT_STREQ(from->info, "");
    EXPECT_EQ(from->flags, 0u);
    EXPECT_EQ(from->reserved, 0u);
    EXPECT_STREQ(from->extra, "");
    EXPECT_STREQ(from->channel, "localout");
    auto* second = static_cast<_envRcpt*>(env->rcpt.head->next->item);
    EXPECT_STREQ(second->address, "b@y");
    EXPECT_STREQ(second->channel, "local");
    EXPECT_EQ(env->rcpt.cursor, env->rcpt.head);
}

TEST(EnvelopeList, CallerEnvelopeIsCopiedAndOwnedCopyMatches)
{
    EnvelopeBuilder builder;
    builder.AddSender("", "dsn", kReturnedMailFlag).AddRecipient("Name With Blanks <n@x>", "local");
    EnvelopeData data;
    std::string fault;
    ASSERT_TRUE(ReadCallerEnvelope(*builder.Envelope(), data, fault)) << fault;
    ASSERT_EQ(data.senders.size(), 1u);
    EXPECT_EQ(data.senders[0].flags, kReturnedMailFlag);
    EXPECT_EQ(data.recipients[0].address, "Name With Blanks <n@x>");

    stEnvelope* owned = NewOwnedEnvelope(data);
    ASSERT_NE(owned, nullptr);
    EnvelopeData back;
    ASSERT_TRUE(ReadCallerEnvelope(*owned, back, fault));
    EXPECT_EQ(back, data);
    EXPECT_EQ(owned->from.cursor, owned->from.head);
    DeleteOwnedEnvelope(owned);
}

TEST(EnvelopeList, NullTextsReadAsEmptyAndLineBreaksAreRefused)
{
    _envFrom sender{nullptr, nullptr, 0, 0, nullptr, nullptr};
    char bad[] = "evil@x\r\nRCPT TO:<other@y>";
    _envRcpt recipient{bad, nullptr, 0, nullptr, nullptr};
    stEnvelope env{{nullptr, nullptr, 0}, {nullptr, nullptr, 0}};
    ASSERT_TRUE(AppendEnvItem(env.from, &sender));
    ASSERT_TRUE(AppendEnvItem(env.from, nullptr));

    EnvelopeData data;
    std::string fault;
    ASSERT_TRUE(ReadCallerEnvelope(env, data, fault));
    ASSERT_EQ(data.senders.size(), 2u);
    EXPECT_EQ(data.senders[0], SenderRecord{});

    ASSERT_TRUE(AppendEnvItem(env.rcpt, &recipient));
    EXPECT_FALSE(ReadCallerEnvelope(env, data, fault));
    EXPECT_EQ(fault, "recipient 1 address contains a line break");
    ReleaseEnvNodes(env.from);
    ReleaseEnvNodes(env.rcpt);
}

} // namespace
