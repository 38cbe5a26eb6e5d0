#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/EnvelopeConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace locmail::mq;

TEST(EnvelopeList, AppendsAfterTheLastNodeWalksInOrderAndCopiesTheCallersEnvelope)
{
    stEnvList list{nullptr, nullptr, 0};
    int items[3] = {1, 2, 3};
    for (int& item : items)
        ASSERT_TRUE(AppendEnvItem(list, &item));
    EXPECT_EQ(list.count, 3);
    for (int round = 0; round < 2; ++round) {
        ResetEnvCursor(list);
        for (int& item : items)
            EXPECT_EQ(NextEnvItem(list), &item);
        EXPECT_EQ(NextEnvItem(list), nullptr);
    }
    ReleaseEnvNodes(list);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.count, 0);

    // Null texts and null items read as empty records; the owned copy reads back the same.
    EnvelopeBuilder builder;
    builder.AddSender("", "dsn", kReturnedMailFlag).AddRecipient("Name With Blanks <n@x>", "local");
    _envFrom nullTexts{nullptr, nullptr, 0, 0, nullptr, nullptr};
    stEnvelope* env = builder.Envelope();
    EXPECT_EQ(env->rcpt.cursor, env->rcpt.head);
    ASSERT_TRUE(AppendEnvItem(env->from, &nullTexts));
    ASSERT_TRUE(AppendEnvItem(env->from, nullptr));

    EnvelopeData data;
    std::string fault;
    ASSERT_TRUE(ReadCallerEnvelope(*env, data, fault)) << fault;
    ASSERT_EQ(data.senders.size(), 3u);
    EXPECT_EQ(data.senders[0], (SenderRecord{"", "", kReturnedMailFlag, 0, "", "dsn"}));
    EXPECT_EQ(data.senders[1], SenderRecord{});
    EXPECT_EQ(data.senders[2], SenderRecord{});
    EXPECT_EQ(data.recipients.at(0).address, "Name With Blanks <n@x>");

    stEnvelope* owned = NewOwnedEnvelope(data);
    EnvelopeData back;
    ASSERT_TRUE(ReadCallerEnvelope(*owned, back, fault));
    EXPECT_EQ(back, data);
    EXPECT_EQ(owned->from.cursor, owned->from.head);
    DeleteOwnedEnvelope(owned);
}

} // namespace
