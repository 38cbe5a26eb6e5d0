#include "host/RunSummary.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace locmail::host {
namespace {

constexpr const char* kPassedOn = "LOCMAIL_RUN_SUMMARY";
constexpr auto kFirstProgress = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

} // namespace

RunSummary::RunSummary(bool onTerminal) : onTerminal_(onTerminal), start_(Clock::now())
{
    if (const char* passed = std::getenv(kPassedOn)) {
        std::int64_t startNs = 0;
        auto& b = before_;
        if (std::sscanf(passed, "%" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNd64, &b.filed,
                        &b.returned, &b.discarded, &b.deferred, &b.held, &startNs) == 6)
            start_ = Clock::time_point(std::chrono::nanoseconds(startNs));
        else
            before_ = {};
        ::unsetenv(kPassedOn);
    }
    nextProgress_ = start_ + kFirstProgress;
}

delivery::OutcomeCounts RunSummary::Counts() const
{
    delivery::OutcomeCounts now = delivery::CountedOutcomes();
    now.filed += before_.filed;
    now.returned += before_.returned;
    now.discarded += before_.discarded;
    now.deferred += before_.deferred;
    now.held += before_.held;
    return now;
}

std::string RunSummary::Text() const
{
    const delivery::OutcomeCounts c = Counts();
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    char text[200];
    std::snprintf(text, sizeof text,
                  "delivered %" PRIu64 ", returned %" PRIu64 ", discarded %" PRIu64 ", deferred %" PRIu64
                  ", held %" PRIu64 " in %.1f s",
                  c.filed, c.returned, c.discarded, c.deferred, c.held, seconds);
    return text;
}

void RunSummary::Tick()
{
    if (!onTerminal_ || Clock::now() < nextProgress_)
        return;
    nextProgress_ = Clock::now() + kProgressEvery;
    std::printf("\r%s\033[K", Text().c_str());
    std::fflush(stdout);
    progressShown_ = true;
}

void RunSummary::PassOn() const
{
    const delivery::OutcomeCounts c = Counts();
    const auto startNs = std::chrono::duration_cast<std::chrono::nanoseconds>(start_.time_since_epoch()).count();
    char text[160];
    std::snprintf(text, sizeof text, "%" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRId64, c.filed,
                  c.returned, c.discarded, c.deferred, c.held, static_cast<std::int64_t>(startNs));
    ::setenv(kPassedOn, text, 1);
    std::fflush(stdout);
}

void RunSummary::Print()
{
    std::printf("%s%s\n", progressShown_ ? "\r\033[K" : "", Text().c_str());
    std::fflush(stdout);
}

} // namespace locmail::host
