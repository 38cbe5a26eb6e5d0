// Filter files against messages, end to end through the global mailsort
// object: each row is (script, message, envelope sender) -> (msgdest list).
// The scripts follow the examples of RFC 5228, 3894, 5429 and 5230.
#include "RulesFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using mailsorttest::RowName;
using mailsorttest::RunRules;
using Entries = std::vector<std::pair<int, std::string>>;

const std::string kCoyote =
    "Return-Path: <coyote@desert.example.org>\r\n"
    "From: \"Wile E. Coyote\" <Coyote@desert.example.org>\r\n"
    "To: roadrunner@acme.example.com, Bugs <bugs@example.net>\r\n"
    "Cc: boss@acme.example.com\r\n"
    "Subject: I have a present for you\r\n"
    "X-Caffeine: C8H10N4O2\r\n"
    "X-Folded: first \r\n"
    "  second\r\n"
    "\r\n"
    "Look, I'm sorry about the whole anvil thing, and I really\r\n"
    "didn't mean to try and drop it on you from the top of the\r\n"
    "cliff.  I want to try to make it up to you.\r\n";

const std::string kEncoded =
    "From: hans@example.de\r\nTo: ann@example.com\r\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?=\r\n"
    "\r\nHallo\r\n";

const std::string kList =
    "Return-Path: <owner-team@lists.example.org>\r\nFrom: bob@example.org\r\nTo: team@lists.example.org\r\n"
    "List-Id: <team.lists.example.org>\r\nSubject: weekly\r\n\r\nbody\r\n";

struct Row {
    const char* name;
    const char* script;
    const std::string* message;
    const char* sender;
    Entries entries;
};

constexpr int kMove = 0x01, kCopy = 0x02, kReject = 0x04, kForward = 0x10, kVacation = 0x20, kShared = 0x40,
              kDiscard = 0x84;

const Row kRows[] = {
    {"empty script keeps", "", &kCoyote, nullptr, {}},
    {"keep alone is the default delivery", "keep;", &kCoyote, nullptr, {}},
    {"fileinto moves", "require \"fileinto\"; fileinto \"Projects\";", &kCoyote, nullptr, {{kMove, "Projects"}}},
    {"fileinto :copy keeps and copies", "require [\"fileinto\", \"copy\"]; fileinto :copy \"Projects\";", &kCoyote,
     nullptr, {{kCopy, "Projects"}}},
    {"a later fileinto cancels the keep of :copy",
     "require [\"fileinto\", \"copy\"]; fileinto :copy \"A\"; fileinto \"B\";", &kCoyote, nullptr,
     {{kMove, "A"}, {kMove, "B"}}},
    {"explicit keep with two folders", "require \"fileinto\"; keep; fileinto \"A\"; fileinto \"B\";", &kCoyote,
     nullptr, {{kCopy, "A"}, {kMove, "B"}}},
    {"one folder twice files once", "require \"fileinto\"; fileinto \"A\"; fileinto \"A\";", &kCoyote, nullptr,
     {{kMove, "A"}}},
    {"fileinto INBOX is a keep", "require \"fileinto\"; fileinto \"INBOX\";", &kCoyote, nullptr, {}},
    {"discard files nothing", "discard;", &kCoyote, nullptr, {{kDiscard, ""}}},
    {"explicit keep outlives discard", "discard; keep;", &kCoyote, nullptr, {}},
    {"reject with its reason", "require \"reject\"; reject \"I don't want your mail\";", &kCoyote, nullptr,
     {{kReject, "I don't want your mail"}}},
    {"reject with a multi-line reason", "require \"reject\";\nreject text:\nNo thanks.\n..signed\n.\n;", &kCoyote,
     nullptr, {{kReject, "No thanks.\n.signed\n"}}},
    {"redirect forwards instead", "redirect \"Bob <bob@Example.org>\";", &kCoyote, nullptr,
     {{kForward, "bob@Example.org"}}},
    {"redirect :copy keeps", "require \"copy\"; redirect :copy \"bob@example.org\";", &kCoyote, nullptr,
     {{kMove, "inbox"}, {kForward, "bob@example.org"}}},
    {"shared folder move", "require \"fileinto\"; fileinto \"shared:Sales/Orders/2003\";", &kCoyote, nullptr,
     {{kShared | kMove, "Sales/Orders/2003"}}},
    {"shared copy keeps", "require [\"fileinto\",\"copy\"]; fileinto :copy \"shared:Sales\";", &kCoyote, nullptr,
     {{kShared | kCopy, "Sales"}}},
    {"own folders before shared ones, forwards last",
     "require \"fileinto\"; redirect \"x@example.org\"; fileinto \"shared:Sales\"; fileinto \"Mine\";", &kCoyote,
     nullptr, {{kMove, "Mine"}, {kShared | kMove, "Sales"}, {kForward, "x@example.org"}}},
    {"vacation keeps in the inbox", "require \"vacation\"; vacation :days 3 :subject \"Away\" \"I am away.\";",
     &kEncoded, nullptr, {{kVacation, "I am away."}}},
    {"vacation for another of the user's addresses",
     "require \"vacation\"; vacation :addresses [\"x@y.org\", \"BOSS@acme.example.com\"] \"Away.\";", &kCoyote,
     nullptr, {{kVacation, "Away."}}},
    {"no vacation when the user is not a named recipient", "require \"vacation\"; vacation \"Away.\";", &kCoyote,
     nullptr, {}},
    {"vacation after a move files into that folder",
     "require [\"vacation\", \"fileinto\"]; vacation \"Away.\"; fileinto \"Later\";", &kEncoded, nullptr,
     {{kMove, "Later"}, {kVacation, "Away."}}},
    {"vacation before kept folders files into the inbox first",
     "require [\"vacation\", \"fileinto\"]; vacation \"Away.\"; keep; fileinto \"Later\";", &kEncoded, nullptr,
     {{kVacation, "Away."}, {kMove, "Later"}}},
    {"stop ends the run", "require \"fileinto\"; fileinto \"A\"; stop; fileinto \"B\";", &kCoyote, nullptr,
     {{kMove, "A"}}},
    {"if, elsif, else",
     "require \"fileinto\";\n"
     "if header :contains \"from\" \"coyote\" {\n  discard;\n}\n"
     "elsif header :contains [\"subject\"] [\"$$$\"] {\n  discard;\n}\n"
     "else {\n  fileinto \"INBOX\";\n}\n",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"else branch when nothing holds",
     "require \"fileinto\"; if header :is \"subject\" \"x\" { discard; } elsif false { discard; }"
     " else { fileinto \"Other\"; }",
     &kCoyote, nullptr, {{kMove, "Other"}}},
    {"header :is is whole and caseless", "if header :is \"Subject\" \"i have a PRESENT for you\" { discard; }",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"header names in a list, keys in a list",
     "if header :contains [\"X-None\", \"x-caffeine\"] [\"tea\", \"C8H10\"] { discard; }", &kCoyote, nullptr,
     {{kDiscard, ""}}},
    {"i;octet keeps case", "if header :comparator \"i;octet\" :contains \"subject\" \"PRESENT\" { discard; }",
     &kCoyote, nullptr, {}},
    {"matches with * and ?", "if header :matches \"subject\" \"I have * for ?ou\" { discard; }", &kCoyote, nullptr,
     {{kDiscard, ""}}},
    {"folded header values are unfolded", "if header :is \"X-Folded\" \"first   second\" { discard; }", &kCoyote,
     nullptr, {{kDiscard, ""}}},
    {"encoded words are decoded", "if header :contains \"subject\" \"Grüße aus Köln\" { discard; }", &kEncoded,
     nullptr, {{kDiscard, ""}}},
    {"address :domain", "require \"fileinto\"; if address :domain :is \"from\" \"DESERT.example.org\""
                        " { fileinto \"Desert\"; }",
     &kCoyote, nullptr, {{kMove, "Desert"}}},
    {"address :localpart over To and Cc", "if address :localpart :is [\"to\", \"cc\"] \"boss\" { discard; }",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"address :all ignores the display name", "if address :is \"to\" \"bugs@example.net\" { discard; }", &kCoyote,
     nullptr, {{kDiscard, ""}}},
    {"envelope from the Return-Path",
     "require \"envelope\"; if envelope :all :is \"from\" \"coyote@desert.example.org\" { discard; }", &kCoyote,
     nullptr, {{kDiscard, ""}}},
    {"envelope from as given", "require \"envelope\"; if envelope :domain :is \"from\" \"given.example\" { discard; }",
     &kCoyote, "<x@given.example>", {{kDiscard, ""}}},
    {"envelope to is the recipient", "require \"envelope\"; if envelope :localpart :is \"to\" \"ann\" { discard; }",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"null envelope sender is empty", "require \"envelope\"; if envelope :is \"from\" \"\" { discard; }", &kCoyote,
     "<>", {{kDiscard, ""}}},
    {"exists needs every name", "if exists [\"From\", \"x-caffeine\"] { if exists [\"From\", \"X-Nope\"] { keep; }"
                                " else { discard; } }",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"size over and under", "if allof (size :over 100, size :under 1K) { discard; }", &kCoyote, nullptr,
     {{kDiscard, ""}}},
    {"anyof and not", "if anyof (false, not header :contains \"subject\" \"present\", not false) { discard; }",
     &kCoyote, nullptr, {{kDiscard, ""}}},
    {"comments are skipped",
     "# a comment\r\n/* a block\n comment */ if /* inside */ true { discard; } # end", &kCoyote, nullptr,
     {{kDiscard, ""}}},
};

class Outcome : public ::testing::TestWithParam<Row> {};

TEST_P(Outcome, GivesTheList)
{
    const Row& row = GetParam();
    testsupport::TempDir home;
    auto result = RunRules(home, row.script, *row.message, row.sender);
    ASSERT_EQ(result.rc, 0) << (result.log.empty() ? "" : result.log.front());
    EXPECT_EQ(result.entries, row.entries);
}

INSTANTIATE_TEST_SUITE_P(Scripts, Outcome, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return RowName(info.param.name); });

TEST(Outcome, VacationOnListMailIsLoggedAndItsArgumentsKept)
{
    testsupport::TempDir home;
    auto listed = RunRules(home,
                           "require \"vacation\"; vacation :days 0 :from \"me@example.com\""
                           " :addresses \"team@lists.example.org\" \"Away.\";",
                           kList);
    EXPECT_FALSE(mailsort.getVacation().has_value());
    EXPECT_EQ(listed.log, std::vector<std::string>{"6 Mailsort: Message is from a distribution list, cannot send "
                                                   "auto reply"});
    RunRules(home, nullptr, kEncoded);
    ASSERT_TRUE(mailsort.getVacation().has_value());
    EXPECT_EQ(mailsort.getVacation()->days, 1);
    EXPECT_EQ(mailsort.getVacation()->from, "me@example.com");
}

// An unchanged filter file is kept parsed; an edited or replaced one is read again.
TEST(Outcome, ChangedScriptIsReadAgain)
{
    testsupport::TempDir home;
    const char* first = "require \"fileinto\"; fileinto \"AAAA\";";
    EXPECT_EQ(RunRules(home, first, kCoyote).entries, (Entries{{kMove, "AAAA"}}));
    EXPECT_EQ(RunRules(home, nullptr, kCoyote).entries, (Entries{{kMove, "AAAA"}}));
    EXPECT_EQ(RunRules(home, "require \"fileinto\"; fileinto \"BBBB\";", kCoyote).entries,
              (Entries{{kMove, "BBBB"}}));
    testsupport::WriteFile(home / "new.sieve", "require \"fileinto\"; fileinto \"CCCC\";");
    std::filesystem::rename(home / "new.sieve", home / "rules.sieve");
    EXPECT_EQ(RunRules(home, nullptr, kCoyote).entries, (Entries{{kMove, "CCCC"}}));
    testsupport::WriteFile(home / "rules.sieve", "fileinto \"DDDD\";"); // now broken
    EXPECT_EQ(RunRules(home, nullptr, kCoyote).code, kMailsortFilterSyntax);
}

} // namespace
