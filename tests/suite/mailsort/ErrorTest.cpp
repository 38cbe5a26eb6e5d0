// Filter files that cannot be used, hostile ones included (generated here):
// each gives mailDest's failure with the right error code, a log line that
// says what and where, and no list.
#include "RulesFixture.h"
#include "suite/mailsort/SieveLimits.h"
#include "suite/mailsort/SieveParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using mailsorttest::RowName;
using mailsorttest::RunRules;

const std::string kMessage = "From: bob@example.org\r\nTo: ann@example.com\r\nSubject: hi\r\n\r\nbody\r\n";

std::string Repeat(const std::string& text, std::size_t times)
{
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

struct Row {
    const char* name;
    std::function<std::string()> script;
    int code;
    const char* logged; // part of the first log line
};

const Row kRows[] = {
    {"copy needs its require", [] { return "require \"fileinto\";\n  fileinto :copy \"x\";"; }, 3,
     "line 2, column 3: require \"copy\" is missing"},
    {"unknown extension", [] { return "require \"imap4flags\";"; }, 3, "unsupported extension \"imap4flags\""},
    {"require after a command", [] { return "keep;\nrequire \"fileinto\";"; }, 3,
     "line 2, column 1: require is allowed only at the start"},
    {"unterminated string", [] { return "require \"reject\";\nreject \"no end;\n"; }, 3,
     "line 2, column 8: unterminated string"},
    {"unterminated multi-line string", [] { return "require \"reject\"; reject text:\nno dot\n"; }, 3,
     "unterminated multi-line string"},
    {"unterminated comment", [] { return "keep; /* forever"; }, 3, "line 1, column 7: unterminated comment"},
    {"unterminated block", [] { return "if true {\n keep;\n"; }, 3, "line 1, column 9: unterminated block"},
    {"else without if", [] { return "else { keep; }"; }, 3, "else without if"},
    {"unknown comparator", [] { return "if header :comparator \"i;unicode\" :is \"a\" \"b\" { keep; }"; }, 3,
     "unsupported comparator"},
    {"address part on header", [] { return "if header :localpart \"from\" \"x\" { keep; }"; }, 3,
     "unknown tag :localpart"},
    {"two match types", [] { return "if header :is :contains \"a\" \"b\" { keep; }"; }, 3,
     "more than one match type"},
    {"bad envelope part", [] { return "require \"envelope\"; if envelope \"auth\" \"x\" { keep; }"; }, 3,
     "unsupported envelope part"},
    {"size without :over or :under", [] { return "if size 10 { keep; }"; }, 3, ":over or :under expected"},
    {"redirect to no address", [] { return "redirect \"not an address\";"; }, 3, "not one valid mail address"},
    {"redirect to two addresses", [] { return "redirect \"a@x.org, b@x.org\";"; }, 3, "not one valid mail address"},
    {"folder too long", [] { return "require \"fileinto\"; fileinto \"" + std::string(241, 'f') + "\";"; }, 3,
     "folder name longer than 240 characters"},
    {"shared prefix without a mailbox", [] { return "require \"fileinto\"; fileinto \"shared:/Orders\";"; }, 3,
     "shared: must be followed by a mailbox name"},
    {"vacation :mime refused", [] { return "require \"vacation\"; vacation :mime \"x\";"; }, 3,
     "vacation :mime is not supported"},
    {"reject with fileinto", [] { return "require [\"reject\", \"fileinto\"]; fileinto \"a\"; reject \"no\";"; }, 3,
     "reject cannot be combined with keep, fileinto, redirect or vacation"},
    {"two vacations", [] { return "require \"vacation\"; vacation \"a\"; vacation \"b\";"; }, 3,
     "more than one vacation"},
    {"number too large", [] { return "if size :over 99999999999999999999 { keep; }"; }, 3, "number too large"},
    {"NUL byte", [] { return std::string("keep;\n  \0;", 10); }, 0, "line 2, column 3: NUL byte"},
    {"NUL byte in a string", [] { return std::string("redirect \"a\0@x.org\";", 20); }, 0, "NUL byte"},
    {"deep nesting of blocks", [] { return Repeat("if true {", 100000) + Repeat("}", 100000); }, 3,
     "nested deeper than 32 levels"},
    {"deep nesting of tests", [] { return "if " + Repeat("not ", 200000) + "true { keep; }"; }, 3,
     "nested deeper than 32 levels"},
    {"ten megabytes", [] { return Repeat("# padding padding padding padding\n", 300000); }, 3,
     "larger than 1048576 bytes"},
    {"too many actions", [] { return Repeat("keep;", 1001); }, 3, "line 1, column 5001: more than 1000 actions"},
    {"string too long", [] { return "require \"reject\"; reject \"" + std::string(70000, 'x') + "\";"; }, 3,
     "string longer than 65536 bytes"},
    {"list too long", [] { return "if header :is \"a\" [" + Repeat("\"x\",", 1000) + "\"x\"] { keep; }"; }, 3,
     "string list longer than 1000 items"},
};

class ScriptErrors : public ::testing::TestWithParam<Row> {};

TEST_P(ScriptErrors, FailWithCodeAndPlace)
{
    const Row& row = GetParam();
    testsupport::TempDir home;
    std::string script = row.script();
    testsupport::WriteFile(home / "rules.sieve", script);
    auto result = RunRules(home, nullptr, kMessage);
    EXPECT_EQ(result.rc, -1);
    EXPECT_EQ(result.code, row.code);
    EXPECT_TRUE(result.entries.empty());
    ASSERT_FALSE(result.log.empty());
    EXPECT_NE(result.log.front().find(row.logged), std::string::npos) << result.log.front();
    EXPECT_EQ(result.log.front().rfind("1 Mailsort: ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptErrors, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return RowName(info.param.name); });

// A check reads on after each error to the end of the broken command and
// reports every error with its place, in the order found, up to a bound.
TEST(ScriptCheck, ReportsEveryErrorWithItsPlace)
{
    const std::string script = "require \"fileinto\";\n"
                               "frobnicate;\n"
                               "if header :is \"a\" \"b\" { keep @ ; }\n"
                               "if bogus { keep; } elsif true { stop; } else { discard; }\n"
                               "fileinto \"x\"\n"
                               "keep;\n"
                               "}\n"
                               "if true { reject \"r\"; }\n";
    std::vector<locmail::mailsort::ScriptError> errors;
    locmail::mailsort::ParseScript(script, errors);
    std::vector<std::string> seen;
    for (const auto& error : errors)
        seen.push_back(std::to_string(error.line()) + ":" + std::to_string(error.column()) + " " + error.what());
    EXPECT_THAT(seen, ::testing::ElementsAre("2:1 unknown command \"frobnicate\"", "3:30 unexpected character '@'",
                                             "4:4 unknown test \"bogus\"", "6:1 ';' expected", "7:1 command expected",
                                             "8:11 require \"reject\" is missing"));

    errors.clear();
    locmail::mailsort::ParseScript(Repeat("frobnicate;\n", 200) + "reject \"" + std::string(70000, 'x') + "\";",
                                   errors);
    ASSERT_EQ(errors.size(), locmail::mailsort::kMaxReportedErrors);
    EXPECT_EQ(errors.back().line(), 50);
    errors.clear();
    locmail::mailsort::ParseScript("reject \"" + std::string(70000, 'x') + "\";\nkeep 12345678901234567890;\n", errors);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_STREQ(errors[0].what(), "string longer than 65536 bytes");
    EXPECT_STREQ(errors[1].what(), "require \"reject\" is missing");
    EXPECT_EQ(errors[2].line(), 2);
    EXPECT_STREQ(errors[2].what(), "number too large");
}

// Failures that are not the script's: the user, the file, the message, the shared mailbox.
TEST(MailDestErrors, NameTheirCause)
{
    testsupport::TempDir home;
    EXPECT_EQ(RunRules(home, "keep;", kMessage, nullptr, "nobody@example.com").code, kMailsortUserNotFound);
    EXPECT_EQ(RunRules(home, "keep;", kMessage, nullptr, "Sales").code, kMailsortUserNotFound);
    std::filesystem::remove(home / "rules.sieve");
    EXPECT_EQ(RunRules(home, nullptr, kMessage).code, kMailsortFilterOpen);
    std::filesystem::create_directory(home / "rules.sieve");
    EXPECT_EQ(RunRules(home, nullptr, kMessage).code, kMailsortFilterOpen);
    std::filesystem::remove(home / "rules.sieve");

    auto unknownShared = RunRules(home, "require \"fileinto\"; fileinto \"shared:Support/Open\";", kMessage);
    EXPECT_EQ(unknownShared.code, kMailsortSharedNotFound);
    EXPECT_NE(unknownShared.log.front().find("\"Support\""), std::string::npos);

    mailsorttest::StoreDouble store(home.path().string());
    locmail::log::CaptureLog capture;
    mailsort.SetMsgStore(store);
    mailsort.getXHeaderInfo(nullptr);
    mail_envelope* none = nullptr;
    msgdest* list = reinterpret_cast<msgdest*>(&store);
    char recipient[] = "ann@example.com";
    EXPECT_EQ(mailsort.mailDest(&none, recipient, &list), -1);
    EXPECT_EQ(mailsort.getErrorCode(), kMailsortMessageCorrupted);
    EXPECT_EQ(list, nullptr);
}

} // namespace
