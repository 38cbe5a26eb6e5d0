// A piece of `locmail run` the end-to-end tests cannot reach exactly: a stop
// signal that arrives before the handlers are in place.
#include "host/StopRequest.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

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
