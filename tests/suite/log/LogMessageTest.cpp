#include "support/CaptureLog.h"
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
using testing::MatchesRegex;

namespace {

// Levels above six are written as six; trailing line ends are dropped.
TEST(LogMessage, WritesLevelModuleAndFormattedText)
{
    CaptureLog log;
    LogMessage(5, "XScanner", "Detected x-vexbl header (%s) in message file %s", "a,b/1.2.3.4", "/q/1.msg");
    EXPECT_THAT(log.Lines(), ElementsAre("5 XScanner: Detected x-vexbl header (a,b/1.2.3.4) in message file /q/1.msg"));

    struct Case { int level; const char *text, *want; };
    const Case cases[] = {
        {1, "x", "1 M: x"}, {100, "x", "6 M: x"}, {5, "several\n\n\r\n", "5 M: several"}, {5, "\n", "5 M: "},
        // Text from mail cannot break a line, hide or reorder what follows, or put stray bytes in the log.
        {5, "inner\nline", "5 M: inner\\x0Aline"}, {5, "a\x1B[2Jb\x7F", "5 M: a\\x1B[2Jb\\x7F"},
        {5, "caf\xC3\xA9 \xE2\x80\xAE" "evil", "5 M: caf\xC3\xA9 \\xE2\\x80\\xAEevil"},
        {5, "\xFF\xC3(\xC2\x85 tab\t", "5 M: \\xFF\\xC3(\\xC2\\x85 tab\t"},
        {5, "\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98\x80", "5 M: \\xED\\xA0\\x80\\xF4\\x90\\x80\\x80\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        log.Clear();
        LogMessage(c.level, "M", "%s", c.text);
        EXPECT_THAT(log.Lines(), ElementsAre(c.want)) << c.level << " " << testing::PrintToString(c.text);
    }
}

TEST(LogMessage, ThresholdDropsHigherLevelsAndLongLinesAreCut)
{
    CaptureLog log;
    locmail::log::SetThreshold(2);
    LogMessage(1, "M", "error");
    LogMessage(2, "M", "warning");
    LogMessage(5, "M", "progress");
    locmail::log::Write(6, "M", "outcome");
    EXPECT_THAT(log.Lines(), ElementsAre("1 M: error", "2 M: warning"));

    locmail::log::SetThreshold(6);
    for (std::size_t length : {8191u, 8192u, 20000u}) {
        const std::string text(length, 'a');
        const std::string want = "5 M: " + text.substr(0, locmail::log::kMaxLine - 1);
        log.Clear();
        LogMessage(5, "M", "%s", text.c_str());
        locmail::log::Write(5, "M", text);
        EXPECT_THAT(log.Lines(), ElementsAre(want, want)) << "length " << length;
    }
}

TEST(OpenLogFile, WritesTimePidLevelModuleAndTextOrKeepsTheCurrentSink)
{
    testsupport::TempDir dir;
    {
        CaptureLog restoresSinksAfterwards;
        ASSERT_TRUE(locmail::log::OpenLogFile(dir.path().string(), 5));
        LogMessage(5, "LocalMail", "Processed %ld recipient", 1L);
        LogMessage(6, "LocalMail", "above the threshold");
        LogMessage(1, "AntiSpam Config", "error\n");
    }
    std::istringstream in(testsupport::ReadFile(dir / "locmail.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const std::string prefix = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} " +
                               std::to_string(::getpid());
    EXPECT_THAT(lines, ElementsAre(MatchesRegex(prefix + " 5 LocalMail: Processed 1 recipient"),
                                   MatchesRegex(prefix + " 1 AntiSpam Config: error")));

    testsupport::WriteFile(dir / "plain", "");
    CaptureLog log;
    EXPECT_FALSE(locmail::log::OpenLogFile(dir / "plain/sub", 1));
    LogMessage(5, "M", "still captured");
    EXPECT_THAT(log.Lines(), ElementsAre("5 M: still captured"));
}

} // namespace
