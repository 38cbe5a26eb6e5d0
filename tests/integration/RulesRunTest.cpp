// The rules commands end to end: check, set, show, explain (with the X
// Scanner's verdict) and rm on a real installation. The rules step itself: tests/delivery/RulesTest.cpp.
#include "integration/RunSupport.h"

#include <gtest/gtest.h>

#include <sysexits.h>

namespace {

using namespace testsupport;

std::string Message(const std::string& subject)
{
    return "From: alice@example.org\r\nTo: bob@example.org\r\nSubject: " + subject + "\r\n\r\nText.\r\n";
}

const char* const kScript = R"(require ["fileinto", "copy", "reject", "vacation"];
if header :is "subject" "Order" { fileinto "Orders"; stop; }
if header :is "subject" "Minutes" { fileinto :copy "Archive"; stop; }
if header :is "subject" "Relay" { redirect "carol@example.org"; stop; }
if header :is "subject" "Junk" { reject "Not here."; stop; }
vacation :days 7 :subject "Away" "Back on Monday.";
)";

TEST(RulesCommands, CheckSetShowExplainRemove)
{
    Installation inst;
    MustRun(inst, {"user", "add", "bob@example.org"});
    MustRun(inst, {"shared", "add", "sales@example.org"});
    const std::string bad = inst.Dir() + "/bad.sieve", good = inst.Dir() + "/good.sieve";
    WriteFile(bad, "require \"fileinto\";\nif true {\n  fileinto \"A\"\n}\nfrobnicate;\n");
    WriteFile(good, kScript);

    RunSteps(inst, {
        {{"rules", "check", bad}, EX_DATAERR,
         {bad + ":4:1: error: ';' expected\n" + bad + ":5:1: error: unknown command \"frobnicate\"\n"}},
        {{"rules", "set", "bob@example.org", bad}, EX_DATAERR, {bad + ":4:1: error: "}},
        {{"rules", "check", inst.Dir() + "/none.sieve"}, EX_NOINPUT, {"cannot open"}},
        {{"rules", "show", "bob@example.org"}, EX_NOINPUT, {"bob@example.org has no rules"}},
        {{"rules", "check", good}, EX_OK, {}},
        {{"rules", "set", "sales@example.org", good}, EX_USAGE, {"only users keep rules"}},
        {{"rules", "set", "nobody@example.org", good}, EX_NOUSER, {"no user or shared mailbox"}},
        {{"rules", "set", "bob@example.org", good}, EX_OK, {"rules of bob@example.org installed"}},
        {{"rules", "show", "bob@example.org"}, EX_OK, {kScript}},
        {{"explain", "-f", "alice@example.org", "bob@example.org"}, EX_OK,
         {" 1. action 0x02: copy: file into \"inbox\", then into folder \"Archive\"\n"
          "a default delivery after these entries would use \"Archive\"\n"}, Message("Minutes")},
        {{"explain", "-f", "alice@example.org", "bob@example.org"}, EX_OK,
         {" 1. action 0x10: forward to carol@example.org (a new entry on \"localout\")\n"}, Message("Relay")},
        {{"explain", "-f", "alice@example.org", "bob@example.org"}, EX_OK,
         {" 1. action 0x04: reject: nothing filed\n"}, Message("Junk")},
        {{"rules", "rm", "bob@example.org"}, EX_OK, {"rules of bob@example.org removed"}},
        {{"rules", "rm", "bob@example.org"}, EX_OK, {"bob@example.org had no rules"}},
        {{"explain", "bob@example.org"}, EX_OK, {"has no rules: default delivery into \"inbox\""}, Message("Order")},
    });
    // The directory init wrote names no RBL host: a listed message is discarded.
    RunSteps(inst, {{{"explain", "bob@example.org"},
                     EX_OK,
                     {"X Scanner: marked, discarded: nothing filed\n"},
                     "X-vexbl: rbl.example.net/192.0.2.1\r\n" + Message("Order")}});
    EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "explain sends nothing";
    EXPECT_TRUE(InboxSubjects(inst, "bob@example.org").empty()) << "explain files nothing";
}

} // namespace
