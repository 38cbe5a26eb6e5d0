// The pieces of `locmail run` whose behaviour the end-to-end tests cannot reach
// quickly: the retry delays up to a minute.
#include "host/RetryDelay.h"

#include <gtest/gtest.h>

namespace {

TEST(RetryDelay, DoublesFromOneSecondToAMinuteAndStartsOverAfterReset)
{
    locmail::host::RetryDelay delay;
    for (int want : {1, 2, 4, 8, 16, 32, 60, 60})
        EXPECT_EQ(delay.NextSeconds(), want);
    delay.Reset();
    EXPECT_EQ(delay.NextSeconds(), 1);
}

} // namespace
