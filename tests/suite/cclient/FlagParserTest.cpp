#include "suite/cclient/FlagParser.h"

#include "suite/log/CaptureLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;

struct Case {
    const char* list;
    std::uint32_t system;
    std::vector<std::string> log;
};

TEST(ParseFlags, Table)
{
    const Case cases[] = {
        {"\\Seen \\Flagged", kSeen | kFlagged, {}},
        {"(\\Seen)", kSeen, {}},
        {"(\\Answered \\Deleted \\Draft \\seen)", kAnswered | kDeleted | kDraft | kSeen, {}},
        {"\\FLAGGED", kFlagged, {}},
        {"", 0, {}},
        {"$Junk", 0, {"2 c-client: Unknown flag: $Junk"}},
        {"\\Seen important \\Draft", kSeen | kDraft, {"2 c-client: Unknown flag: important"}},
        {"\\Recent", 0, {"2 c-client: Unsupported system flag: \\Recent"}},
        {"\\Seen  \\Draft", kSeen | kDraft, {"2 c-client: Empty flag invalid"}},
        {"(\\Seen", 0, {"1 c-client: Bad flag list"}},
        {"\\Seen)", 0, {"1 c-client: Bad flag list"}},
    };
    for (const auto& c : cases) {
        locmail::log::CaptureLog capture;
        Flags got = ParseFlags(c.list);
        EXPECT_EQ(got.system, c.system) << c.list;
        EXPECT_EQ(got.user, 0u) << c.list << ": the empty stream defines no keywords";
        EXPECT_EQ(capture.Lines(), c.log) << c.list;
    }
}

TEST(ParseFlags, NullListIsEmpty)
{
    locmail::log::CaptureLog capture;
    Flags got = ParseFlags(nullptr);
    EXPECT_EQ(got.system, 0u);
    EXPECT_EQ(got.user, 0u);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(ParseFlags, ControlCharactersDoNotReachTheLog)
{
    locmail::log::CaptureLog capture;
    ParseFlags("bad\nword");
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"2 c-client: Unknown flag: bad?word"});
}

} // namespace
