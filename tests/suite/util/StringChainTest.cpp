#include "suite/util/StringChain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using locmail::StringChain;
using testing::ElementsAre;

namespace {

std::vector<std::string> Texts(const StringChain& chain)
{
    std::vector<std::string> out;
    for (const locmail::StringLink* link = chain.First(); link != nullptr; link = link->next)
        out.push_back(link->text);
    return out;
}

TEST(StringChain, AppendKeepsOrderAndCopiesTheTextAndAHugeChainIsFreedWithoutRecursion)
{
    StringChain chain;
    char reason[] = "Please stop sending spam message to me.";
    EXPECT_NE(appendString(chain, reason), 0);
    reason[0] = 'X';
    for (const char* text : {"second", static_cast<const char*>(nullptr)})
        EXPECT_NE(appendString(chain, text), 0);
    EXPECT_THAT(Texts(chain), ElementsAre("Please stop sending spam message to me.", "second", ""));
    freeStringChain(chain);
    EXPECT_TRUE(chain.Empty());

    for (int i = 0; i < 200000; ++i)
        ASSERT_NE(appendString(chain, "line"), 0);
    EXPECT_EQ(chain.Size(), 200000u);
    freeStringChain(chain);
    EXPECT_TRUE(chain.Empty());
    ASSERT_NE(appendString(chain, "left for the destructor"), 0);
}

} // namespace
