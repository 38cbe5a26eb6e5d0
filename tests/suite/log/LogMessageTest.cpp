#include "suite/log/CaptureLog.h"
#include "suite/log/LogMessage.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

using locmail::log::CaptureLog;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::MatchesRegex;

namespace {

TEST(LogMessage, WritesLevelModuleAndFormattedText)
{
    CaptureLog log;
    LogMessage(5, "XScanner", "Detected x-vexbl header (%s) in message file %s", "a,b/1.2.3.4", "/q/1.msg");
    EXPECT_THAT(log.Lines(),
                ElementsAre("5 XScanner: Detected x-vexbl header (a,b/1.2.3.4) in message file /q/1.msg"));
}

TEST(LogMessage, LevelsAboveSixAreWrittenAsSix)
{
    struct Case {
        int level;
        const char* want;
    };
    const Case cases[] = {{1, "1 M: x"}, {6, "6 M: x"}, {7, "6 M: x"}, {100, "6 M: x"}};
    for (const auto& c : cases) {
        CaptureLog log;
        LogMessage(c.level, "M", "x");
        EXPECT_THAT(log.Lines(), ElementsAre(c.want)) << "level " << c.level;
    }
}

TEST(LogMessage, ThresholdDropsHigherLevels)
{
    CaptureLog log;
    locmail::log::SetThreshold(2);
    LogMessage(1, "M", "error");
    LogMessage(2, "M", "warning");
    LogMessage(5, "M", "progress");
    LogMessage(7, "M", "clamped to 6, still above 2");
    locmail::log::Write(6, "M", "outcome");
    EXPECT_THAT(log.Lines(), ElementsAre("1 M: error", "2 M: warning"));
}

TEST(LogMessage, TrailingLineEndsAreDropped)
{
    struct Case {
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {"FileMessage - Catch error: -3\n", "5 M: FileMessage - Catch error: -3"},
        {"crlf\r\n", "5 M: crlf"},
        {"several\n\n\r\n", "5 M: several"},
        {"inner\nline", "5 M: inner\nline"},
        {"\n", "5 M: "},
    };
    for (const auto& c : cases) {
        CaptureLog log;
        LogMessage(5, "M", "%s", c.text);
        EXPECT_THAT(log.Lines(), ElementsAre(c.want)) << "text " << testing::PrintToString(c.text);
    }
}

TEST(LogMessage, LongLinesAreCutAt8191Characters)
{
    for (std::size_t length : {8191u, 8192u, 20000u}) {
        const std::string text(length, 'a');
        const std::string want = "5 M: " + text.substr(0, locmail::log::kMaxLine - 1);
        CaptureLog log;
        LogMessage(5, "M", "%s", text.c_str());
        locmail::log::Write(5, "M", text);
        EXPECT_THAT(log.Lines(), ElementsAre(want, want)) << "length " << length;
    }
}

TEST(CaptureLog, LinesOfSelectsOneModuleExactly)
{
    CaptureLog log;
    LogMessage(5, "Bayesian filter", "one");
    LogMessage(5, "Bayesian", "not this");
    LogMessage(6, "Bayesian filter", "two");
    EXPECT_THAT(log.LinesOf("Bayesian filter"), ElementsAre("5 Bayesian filter: one", "6 Bayesian filter: two"));
    log.Clear();
    EXPECT_THAT(log.Lines(), IsEmpty());
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::istringstream in(testsupport::ReadFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(OpenLogFile, WritesTimePidLevelModuleAndText)
{
    testsupport::TempDir dir;
    {
        CaptureLog restoresSinksAfterwards;
        ASSERT_TRUE(locmail::log::OpenLogFile(dir.path().string(), 5));
        LogMessage(5, "LocalMail", "Processed %ld recipient", 1L);
        LogMessage(6, "LocalMail", "above the threshold");
        LogMessage(1, "AntiSpam Config", "error\n");
    }
    const std::string pid = std::to_string(::getpid());
    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ";
    EXPECT_THAT(ReadLines(dir / "locmail.log"),
                ElementsAre(MatchesRegex(stamp + pid + " 5 LocalMail: Processed 1 recipient"),
                            MatchesRegex(stamp + pid + " 1 AntiSpam Config: error")));
}

TEST(OpenLogFile, FailureKeepsTheCurrentSink)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "plain", "");
    CaptureLog log;
    EXPECT_FALSE(locmail::log::OpenLogFile(dir / "plain/sub", 1));
    LogMessage(5, "M", "still captured");
    EXPECT_THAT(log.Lines(), ElementsAre("5 M: still captured"));
}

} // namespace
