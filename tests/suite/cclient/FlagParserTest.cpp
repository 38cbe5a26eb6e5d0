#include "suite/cclient/FlagParser.h"

#include "support/CaptureLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace locmail::cclient;

TEST(ParseFlags, Table)
{
    struct Case { const char* list; std::uint32_t system; std::vector<std::string> log; };
    const Case cases[] = {
        {"\\Seen \\Flagged", kSeen | kFlagged, {}},
        {"(\\Answered \\Deleted \\Draft \\seen)", kAnswered | kDeleted | kDraft | kSeen, {}},
        {"", 0, {}},
        {nullptr, 0, {}},
        {"\\Seen important \\Draft", kSeen | kDraft, {"2 c-client: Unknown flag: important"}},
        {"bad\nword", 0, {"2 c-client: Unknown flag: bad?word"}}, // no control characters in the log
        {"\\Recent", 0, {"2 c-client: Unsupported system flag: \\Recent"}},
        {"\\Seen  \\Draft", kSeen | kDraft, {"2 c-client: Empty flag invalid"}},
        {"(\\Seen", 0, {"1 c-client: Bad flag list"}},
        {"\\Seen)", 0, {"1 c-client: Bad flag list"}},
    };
    for (const auto& c : cases) {
        const char* name = c.list ? c.list : "(null)";
        locmail::log::CaptureLog capture;
        Flags got = ParseFlags(c.list);
        EXPECT_EQ(got.system, c.system) << name;
        EXPECT_EQ(got.user, 0u) << name << ": the empty stream defines no keywords";
        EXPECT_EQ(capture.Lines(), c.log) << name;
    }
}

} // namespace
