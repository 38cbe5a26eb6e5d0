#include "suite/platform/Sleep.h"

#include <signal.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

std::atomic<int> g_alarms{0};

// The lower bound is the contract; no upper bound is asserted.
TEST(SleepTest, SignalDoesNotShortenTheWait)
{
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = [](int) { ++g_alarms; }; // no SA_RESTART: nanosleep sees EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    itimerval timer{};
    timer.it_value.tv_usec = 5000;
    ASSERT_EQ(::setitimer(ITIMER_REAL, &timer, nullptr), 0);

    auto start = std::chrono::steady_clock::now();
    Sleep(40);
    auto elapsed = std::chrono::steady_clock::now() - start;
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(g_alarms.load(), 1);
    EXPECT_GE(elapsed, std::chrono::milliseconds(40));
}

} // namespace
