// The pieces of `locmail run` whose behaviour the end-to-end tests cannot reach
// quickly: what wakes the channel watch, and the retry delays up to a minute.
#include "host/ChannelWatch.h"
#include "host/RetryDelay.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using locmail::host::ChannelWatch;

TEST(ChannelWatch, WakesOnNewMarkersOnlySoThatRemovalsCannotStartAWalk)
{
    testsupport::TempDir dir;
    const std::string channel = dir / "local";
    std::filesystem::create_directory(channel);
    ChannelWatch watch(channel);
    ASSERT_TRUE(watch.Ok());
    const int noStop = -1; // poll ignores a negative descriptor
    EXPECT_EQ(watch.Wait(0, noStop), ChannelWatch::Wake::Timeout);

    testsupport::WriteFile(dir / "00000001", "");
    std::filesystem::rename(dir / "00000001", channel + "/00000001");
    EXPECT_EQ(watch.Wait(0, noStop), ChannelWatch::Wake::Arrival);
    watch.Drain();
    std::filesystem::remove(channel + "/00000001");
    EXPECT_EQ(watch.Wait(0, noStop), ChannelWatch::Wake::Timeout);
    testsupport::WriteFile(channel + "/00000002", "");
    EXPECT_EQ(watch.Wait(0, noStop), ChannelWatch::Wake::Arrival);
}

TEST(RetryDelay, DoublesFromOneSecondToAMinuteAndStartsOverAfterReset)
{
    locmail::host::RetryDelay delay;
    for (int want : {1, 2, 4, 8, 16, 32, 60, 60})
        EXPECT_EQ(delay.NextSeconds(), want);
    delay.Reset();
    EXPECT_EQ(delay.NextSeconds(), 1);
}

} // namespace
