// `locmail relay` hands the returned mail of `locmail run` to a stand-in for
// the MTA's submission program: taken, deferred or held by its exit status.
#include "integration/RunSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace testsupport;

// Records each call's arguments and input; the recipient decides the exit status.
const char* const kFakeSendmail = R"(#!/bin/sh
d=$(dirname "$0")
printf '%s|' "$@" >> "$d/calls"
echo >> "$d/calls"
cat >> "$d/input"
case "$*" in
*later@x.example*) echo "try again later"; exit 75 ;;
*never@x.example*) echo "no such user here"; exit 67 ;;
esac
)";

TEST(Relay, ReturnedMailIsHandedOverDeferredOrHeldByTheProgramsExit)
{
    Installation inst;
    const std::string fake = inst.Dir() + "/fake-sendmail";
    WriteFile(fake, kFakeSendmail);
    ASSERT_EQ(::chmod(fake.c_str(), 0755), 0);
    SetConfig(inst, "Relay", "Command", fake);
    for (const std::string sender : {"now@x.example", "later@x.example", "never@x.example"})
        MustRun(inst, {"inject", "-f", sender, "nobody@example.org"}, "Subject: lost\r\n\r\nText.\r\n");
    MustRun(inst, {"run", "--once"});
    ASSERT_EQ(OnChannel(inst, "localout").size(), 3u) << "one returned mail for each sender";

    MustRun(inst, {"relay", "--once"});
    EXPECT_EQ(ReadFile(inst.Dir() + "/calls"), "-i|-f||--|now@x.example|\n"
                                               "-i|-f||--|later@x.example|\n"
                                               "-i|-f||--|never@x.example|\n");
    EXPECT_EQ(ReadFile(inst.Dir() + "/input").find('\r'), std::string::npos) << "LF lines for the program";
    const auto left = OnChannel(inst, "localout");
    ASSERT_EQ(left.size(), 1u) << "sent and held entries leave the channel";
    EXPECT_EQ(left[0].recipients.at(0).address, "later@x.example");
    EXPECT_EQ(left[0].deferrals.size(), 1u);
    const std::string listing = inst.Run({"queue", "ls"}).output;
    EXPECT_NE(listing.find("ended with 67: no such user here"), std::string::npos) << listing;
}

} // namespace
