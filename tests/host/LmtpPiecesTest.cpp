// The pieces of `locmail lmtp` that its integration test cannot single out:
// the reply for each outcome, the transaction key, and 250 held back until
// the store's writes are durable.
#include "host/LmtpKey.h"
#include "host/LmtpOutcomes.h"
#include "host/LmtpReply.h"
#include "suite/mq/DeliveryKey.h"

#include <gtest/gtest.h>

namespace {

using locmail::delivery::Outcome;
using locmail::delivery::OutcomeFacts;
using namespace locmail::host;

OutcomeFacts Facts(Outcome status, int storeCode = 0, int agentStatus = 0, uint32_t id = 7, const char* to = "b@x")
{
    OutcomeFacts facts;
    facts.queueId = id;
    facts.status = status;
    facts.to = to;
    facts.reason = "why\r\nnot";
    facts.storeCode = storeCode;
    facts.agentStatus = agentStatus;
    return facts;
}

TEST(LmtpReply, EachOutcomeGetsItsCodeAndAPrintableReason)
{
    const struct {
        OutcomeFacts facts;
        std::string want;
    } cases[] = {
        {Facts(Outcome::Filed), "250 2.0.0 <b@x> delivered"},
        {Facts(Outcome::Discarded), "250 2.0.0 <b@x> delivered"},
        {Facts(Outcome::Returned, 3), "550 5.1.1 <b@x> why??not"},
        {Facts(Outcome::Returned, 0, 11), "550 5.1.1 <b@x> why??not"},
        {Facts(Outcome::Returned, 0, 13), "550 5.2.1 <b@x> why??not"},
        {Facts(Outcome::Returned, 16, 3), "552 5.2.2 <b@x> why??not"},
        {Facts(Outcome::Returned, 18, 3), "550 5.2.0 <b@x> why??not"},
        {Facts(Outcome::Deferred, 17), "451 4.2.0 <b@x> why??not"},
        {Facts(Outcome::Deferred, 4), "451 4.3.0 <b@x> why??not"},
        {Facts(Outcome::Held), "451 4.3.0 <b@x> why??not"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LmtpReplyFor(c.facts, "b@x"), c.want);
}

TEST(LmtpKey, ARetryOfTheTransactionHasItsKeyAndAnyChangeAnother)
{
    const std::string key = LmtpDeliveryKey("s@x", {"a@x", "B@x"}, "text\r\n");
    EXPECT_TRUE(locmail::mq::IsDeliveryKey(key)) << key;
    EXPECT_EQ(LmtpDeliveryKey("s@x", {"b@x", "a@x"}, "text\r\n"), key) << "order and case of recipients";
    EXPECT_NE(LmtpDeliveryKey("s@x", {"a@x", "B@x"}, "text!\r\n"), key);
    EXPECT_NE(LmtpDeliveryKey("s@x", {"a@xB@x"}, "text\r\n"), key) << "fields are framed";
    EXPECT_NE(LmtpDeliveryKey("", {"a@x", "B@x"}, "text\r\n"), key);
}

TEST(OutcomeBoard, FiledIsToldOnlyOnceDurableOtherOutcomesAtOnce)
{
    OutcomeBoard board;
    const auto start = OutcomeBoard::Clock::now();
    const auto now = OutcomeBoard::Clock::now;
    board.OutcomeLogged(Facts(Outcome::Filed, 0, 0, 7, "A@x"));
    board.OutcomeLogged(Facts(Outcome::Returned, 3, 11, 7, "u@x"));
    EXPECT_EQ(board.Await(7, {"a@x", "u@x"}, start, now()), (std::vector<std::string>{"", "550 5.1.1 <u@x> why??not"}));
    board.MadeDurable(false);
    EXPECT_EQ(board.Await(7, {"a@x"}, start, now()).at(0), "");
    board.MadeDurable(true);
    EXPECT_EQ(board.Await(7, {"a@x"}, start, now()).at(0), "250 2.0.0 <A@x> delivered");
    board.OutcomeLogged(Facts(Outcome::Held, 0, 0, 8, nullptr));
    EXPECT_EQ(board.Await(8, {"a@x", "b@x"}, start, now()).at(1).substr(0, 9), "451 4.3.0") << "a held entry: all";
    board.GiveUp(7, "451 4.3.0 later");
    EXPECT_EQ(board.Await(7, {"a@x", "c@x"}, start, now()),
              (std::vector<std::string>{"250 2.0.0 <A@x> delivered", "451 4.3.0 later"}));
    EXPECT_EQ(board.Await(7, {"c@x"}, now(), now()).at(0), "") << "a later session waits for later outcomes";
}

} // namespace
