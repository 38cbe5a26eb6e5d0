// The pieces of `locmail run` whose behaviour the end-to-end tests cannot reach
// quickly or exactly: the retry delays up to a minute, and a stop signal that
// arrives before the handlers are in place.
#include "host/RetryDelay.h"
#include "host/StopRequest.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

TEST(RetryDelay, DoublesFromOneSecondToAMinuteAndStartsOverAfterReset)
{
    locmail::host::RetryDelay delay;
    for (int want : {1, 2, 4, 8, 16, 32, 60, 60})
        EXPECT_EQ(delay.NextSeconds(), want);
    delay.Reset();
    EXPECT_EQ(delay.NextSeconds(), 1);
}

// Held from the start of `run`, a SIGTERM sent before the StopRequest exists
// waits, and becomes its request (the default action would have killed us).
TEST(StopRequest, ASignalSentWhileStartingBecomesTheRequest)
{
    locmail::host::HoldStopSignals();
    ASSERT_EQ(::raise(SIGTERM), 0);
    locmail::host::StopRequest stop;
    EXPECT_TRUE(stop.Requested());
}

} // namespace
