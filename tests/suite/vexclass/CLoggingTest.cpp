#include "suite/vexclass/CLogging.h"

#include "support/CaptureLog.h"
#include "suite/log/LogMessage.h"
#include "suite/vexclass/CFileUtilException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using locmail::log::CaptureLog;
using testing::ElementsAre;

namespace {

TEST(CLogging, PrintLogMessageWritesUnderTheModuleNameExKeepsTheTextAndExceptionsLogUnderTheGivenOne)
{
    CaptureLog log;
    CLogging logging("LocalMail");
    logging.PrintLogMessage(6, "Processed %ld recipient", 2L);
    logging.PrintLog(2, "Message queue file not found or isempty");
    EXPECT_STREQ(logging.GetLastErrorMsg(), "") << "PrintLogMessage must not touch the last-error message";
    logging.PrintLogMessageEx(1, "Cannot open %s", "/q/1.msg");
    EXPECT_STREQ(logging.GetLastErrorMsg(), "Cannot open /q/1.msg");
    EXPECT_THAT(log.Lines(), ElementsAre("6 LocalMail: Processed 2 recipient",
                                         "2 LocalMail: Message queue file not found or isempty",
                                         "1 LocalMail: Cannot open /q/1.msg"));
    log.Clear();
    locmail::log::SetThreshold(1);
    logging.PrintLogMessageEx(5, "kept %d\r\n", 7);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_STREQ(logging.GetLastErrorMsg(), "kept 7") << "the text is kept, without its line end, even when the line is dropped";

    locmail::log::SetThreshold(6);
    const CFileUtilException e(13, "Cannot read file (Permission denied): /q/1.msg");
    static_cast<const CLogging&>(e).PrintLog("LocalMail", 1);
    EXPECT_THAT(log.Lines(), ElementsAre("1 LocalMail: Cannot read file (Permission denied): /q/1.msg"));
}

TEST(CLogging, TextsLongerThanTheirFieldsAreCutButReachTheLogWhole)
{
    const std::string name(300, 'm');
    EXPECT_EQ(std::string(CLogging(name.c_str()).GetModuleName()), name.substr(0, 256));
    CaptureLog log;
    CLogging logging("M");
    const std::string text(1000, 'e');
    logging.PrintLogMessageEx(1, "%s", text.c_str());
    EXPECT_EQ(std::string(logging.GetLastErrorMsg()), text.substr(0, 512));
    EXPECT_THAT(log.Lines(), ElementsAre("1 M: " + text));
}

} // namespace
