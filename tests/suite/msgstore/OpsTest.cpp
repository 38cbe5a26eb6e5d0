#include "StoreFixture.h"

#include <sys/stat.h>

namespace {

using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using OpsTest = StoreFixture;

TEST_F(OpsTest, FolderRecordsAreAddedReadAndUpdatedByMask)
{
    mailbox mbx(&base, home.c_str(), "mailbox");
    const mbxstat fresh{3, 10, 20, 30, 40, 1700000000, 0};
    ASSERT_EQ(AddMbx(mbx, "Spam\\Old", fresh), ms::kOk);
    EXPECT_EQ(AddMbx(mbx, "Spam\\Old", fresh), ms::kExists);

    mbxstat got{};
    EXPECT_EQ(GetMbxStat(mbx, "Spam", got), ms::kNotFound) << "keys are whole paths";
    EXPECT_EQ(GetMbxStat(mbx, "spam\\old", got), ms::kNotFound) << "keys are exact bytes";

    const mbxstat changed{0xFF, 11, 21, 31, 41, 5, 9};
    struct Case {
        int mask;
        mbxstat want;
    } cases[] = {
        {ms::kUpdateUidNext, {3, 10, 20, 30, 41, 1700000000, 0}},
        {ms::kUpdateFlags | ms::kUpdateUnseen, {0xFF, 10, 20, 31, 40, 1700000000, 0}},
        {ms::kUpdateAll, {0xFF, 11, 21, 31, 41, 1700000000, 0}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(UpdateMbxStat(mbx, "Spam\\Old", fresh, ms::kUpdateAll), ms::kOk);
        ASSERT_EQ(UpdateMbxStat(mbx, "Spam\\Old", changed, c.mask), ms::kOk);
        ASSERT_EQ(GetMbxStat(mbx, "Spam\\Old", got), ms::kOk);
        EXPECT_EQ(got, c.want) << "mask " << c.mask;
    }
    EXPECT_EQ(UpdateMbxStat(mbx, "nothere", changed, ms::kUpdateAll), ms::kNotFound);
    EXPECT_EQ(AddMbx(mbx, nullptr, fresh), ms::kBadArgument);
}

// Status records round-trip through every filing (FilingTest); here the texts.
TEST_F(OpsTest, MessageTextsRoundTripAndLongOnesGoToTheHeap)
{
    MakeFolder("inbox");
    const std::string dir = FolderDir("inbox");
    msgenv env(&base, dir.c_str(), "msgenv");
    msgbody body(&base, dir.c_str(), "msgbody");

    struct stat before;
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &before), 0);
    const std::string shortText = "(\"date\" \"subject\" NIL NIL NIL NIL NIL NIL NIL NIL)";
    const std::string longText = "(\"date\" \"" + std::string(ms::kInlineTextLimit + 1, 's') + "\" NIL)";
    const idxkey k1{1, 0}, k2{2, 0};
    ASSERT_EQ(AddMsgEnv(env, k1, shortText), ms::kOk);
    ASSERT_EQ(AddMsgEnv(env, k2, longText), ms::kOk);
    EXPECT_STREQ(env.envelope.str(), longText.c_str()) << "the relation carries the last record";
    struct stat after;
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &after), 0);
    EXPECT_GT(after.st_size, before.st_size + static_cast<off_t>(ms::kInlineTextLimit));

    std::string text;
    ASSERT_EQ(ms::GetMsgEnv(env, k1, text), ms::kOk);
    EXPECT_EQ(text, shortText);
    ASSERT_EQ(ms::GetMsgEnv(env, k2, text), ms::kOk);
    EXPECT_EQ(text, longText);

    EXPECT_EQ(AddMsgBody(body, env, k1, idxkey{9, 0}, std::string_view("(\"TEXT\")")), ms::kNotFound)
        << "a structure needs its envelope";
    ASSERT_EQ(AddMsgBody(body, env, k2, k2, std::string_view(longText)), ms::kOk);
    idxkey envKey{};
    ASSERT_EQ(ms::GetMsgBody(body, k2, text, &envKey), ms::kOk);
    EXPECT_EQ(text, longText);
    EXPECT_EQ(envKey.uid, 2u);

    ASSERT_EQ(RemoveMsgBody(body, env, k2), ms::kOk);
    ASSERT_EQ(RemoveMsgEnv(env, k2), ms::kOk);
    EXPECT_EQ(ms::GetMsgBody(body, k2, text), ms::kNotFound);
    EXPECT_EQ(ms::GetMsgEnv(env, k2, text), ms::kNotFound);
    EXPECT_EQ(RemoveMsgEnv(env, k2), ms::kOk) << "removing what is gone is fine";
}

TEST_F(OpsTest, MixedFoldersAndClosedRelationsAreRefused)
{
    MakeFolder("a");
    MakeFolder("b");
    msgenv envA(&base, FolderDir("a").c_str(), "msgenv");
    msgbody bodyB(&base, FolderDir("b").c_str(), "msgbody");
    ASSERT_EQ(AddMsgEnv(envA, idxkey{1, 0}, std::string_view("()")), ms::kOk);
    EXPECT_EQ(AddMsgBody(bodyB, envA, idxkey{1, 0}, idxkey{1, 0}, std::string_view("()")), ms::kBadArgument);

    const std::string missing = tmp / "no/such/dir";
    mailbox mbx(&base, missing.c_str(), "mailbox");
    mbxstat record{};
    EXPECT_EQ(GetMbxStat(mbx, "inbox", record), ms::kNotOpen);
}

} // namespace
