// A piece of `locmail run` the end-to-end tests cannot reach exactly: a stop
// signal that arrives before the handlers are in place.
#include "host/LogReopen.h"
#include "host/StopRequest.h"
#include "suite/log/LogMessage.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

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

// Rotation by rename: lines go on into the renamed file until SIGHUP, and the
// first line after it is in a new file by the configured name.
TEST(LogReopenRequest, SighupMovesTheNextLineIntoANewFileByTheSameName)
{
    testsupport::TempDir dir;
    locmail::log::CaptureLog restoresSinksAfterwards;
    locmail::host::LogReopenRequest reopen;
    ASSERT_TRUE(locmail::log::OpenLogFile(dir.path().string(), 6));
    LogMessage(5, "Run", "first");
    std::filesystem::rename(dir / "locmail.log", dir / "locmail.log.1");
    reopen.ReopenIfRequested();
    LogMessage(5, "Run", "before the signal");
    EXPECT_FALSE(std::filesystem::exists(dir / "locmail.log")) << "no reopen without SIGHUP";
    ASSERT_EQ(::raise(SIGHUP), 0);
    reopen.ReopenIfRequested();
    LogMessage(5, "Run", "after the signal");
    const std::string old = testsupport::ReadFile(dir / "locmail.log.1");
    const std::string now = testsupport::ReadFile(dir / "locmail.log");
    EXPECT_NE(old.find("first"), std::string::npos);
    EXPECT_NE(old.find("before the signal"), std::string::npos);
    EXPECT_EQ(old.find("after the signal"), std::string::npos);
    EXPECT_NE(now.find("5 Run: after the signal"), std::string::npos);
}

} // namespace
