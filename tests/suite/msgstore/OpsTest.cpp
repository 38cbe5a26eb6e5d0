#include "StoreFixture.h"

#include <sys/stat.h>

namespace {

using storetest::StoreFixture;
namespace ms = locmail::msgstore;

using OpsTest = StoreFixture;

TEST_F(OpsTest, FolderRecordsAreUpdatedByMask)
{
    mailbox mbx(&base, home.c_str(), "mailbox");
    const mbxstat fresh{3, 10, 20, 30, 40, 1700000000, 0}, changed{0xFF, 11, 21, 31, 41, 5, 9};
    ASSERT_EQ(AddMbx(mbx, "Spam\\Old", fresh), ms::kOk);
    struct Case { int mask; mbxstat want; } cases[] = {
        {ms::kUpdateUidNext, {3, 10, 20, 30, 41, 1700000000, 0}},
        {ms::kUpdateFlags | ms::kUpdateUnseen, {0xFF, 10, 20, 31, 40, 1700000000, 0}},
        {ms::kUpdateAll, {0xFF, 11, 21, 31, 41, 1700000000, 0}}, // the birth never changes
    };
    for (const auto& c : cases) {
        mbxstat got{};
        ASSERT_EQ(UpdateMbxStat(mbx, "Spam\\Old", fresh, ms::kUpdateAll), ms::kOk);
        ASSERT_EQ(UpdateMbxStat(mbx, "Spam\\Old", changed, c.mask), ms::kOk);
        ASSERT_EQ(GetMbxStat(mbx, "Spam\\Old", got), ms::kOk);
        EXPECT_EQ(got, c.want) << "mask " << c.mask;
    }
    EXPECT_EQ(UpdateMbxStat(mbx, "nothere", changed, ms::kUpdateAll), ms::kNotFound);
}

// Envelopes and structures round-trip through every filing (FilingTest); here
// the long ones, which go to the relation's heap, and a structure's link.
TEST_F(OpsTest, LongTextsGoToTheHeapAndAStructureNeedsItsEnvelope)
{
    MakeFolder("inbox");
    const std::string dir = FolderDir("inbox");
    msgenv env(&base, dir.c_str(), "msgenv");
    msgbody body(&base, dir.c_str(), "msgbody");
    struct stat before, after;
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &before), 0);
    const std::string longText = "(\"date\" \"" + std::string(ms::kInlineTextLimit + 1, 's') + "\" NIL)";
    const idxkey key{2, 0};
    ASSERT_EQ(AddMsgEnv(env, key, longText), ms::kOk);
    ASSERT_EQ(::stat((dir + "/msgenv.str").c_str(), &after), 0);
    EXPECT_GT(after.st_size, before.st_size + static_cast<off_t>(ms::kInlineTextLimit));
    EXPECT_EQ(AddMsgBody(body, env, idxkey{1, 0}, idxkey{1, 0}, std::string_view("(\"TEXT\")")), ms::kNotFound);
    ASSERT_EQ(AddMsgBody(body, env, key, key, std::string_view(longText)), ms::kOk);
    std::string text;
    ASSERT_EQ(ms::GetMsgEnv(env, key, text), ms::kOk);
    EXPECT_EQ(text, longText);
    idxkey envKey{};
    ASSERT_EQ(ms::GetMsgBody(body, key, text, &envKey), ms::kOk);
    EXPECT_EQ(text, longText);
    EXPECT_EQ(envKey.uid, 2u);
}

} // namespace
