#include "host/ConfigCheck.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace {

using locmail::host::CheckConfigFile;

TEST(ConfigCheckTest, BadValuesAreErrorsWithTheirLineUnknownNamesWarningsAndAnUnreadableFileAnError)
{
    testsupport::TempDir tmp;
    const std::string file = (tmp.path() / "qxmta.ini").string();
    std::ofstream(file) << "; comment\n"
                           "[gateway]\nqueuedirectory=spool\n"               // 3: relative
                           "[Log]\nLevel=6\nLevel=x\nDirectory=/var/log\n"   // 6: first one counts
                           "[Options]\nMailForInvalidLocalUser=postmaster\n" // any case
                           "[Mail]\nPostmaster=not mail\n"                   // 11
                           "[Queue]\nRetryMinSeconds=-5\nRetryMaxSeconds=99999999999\nRetrySeconds=5\n"
                           "[Directory]\nHostName=x\n" // 16
                           "[BayesianFilter]\nType=\nEnable=yes\nActionOnTrainedHamMessage=Keep\n"
                           "[Log]\nSyslg=YES\nSyslog=maybe\n"; // 23: back in [Log]
    const auto report = CheckConfigFile(file);
    const std::string at = file + ":";
    EXPECT_EQ(report.errors,
              (std::vector<std::string>{
                  at + "3: [gateway] queuedirectory=spool: not an absolute path",
                  at + "11: [Mail] Postmaster=not mail: not a mailbox such as postmaster@example.org, or nothing",
                  at + "13: [Queue] RetryMinSeconds=-5: not a whole number from 0 to 2147483647",
                  at + "14: [Queue] RetryMaxSeconds=99999999999: not a whole number from 0 to 2147483647",
                  at + "21: [BayesianFilter] ActionOnTrainedHamMessage=Keep: not one of Move, Delete",
                  at + "24: [Log] Syslog=maybe: not one of YES, NO",
              }));
    EXPECT_EQ(report.warnings, (std::vector<std::string>{file + ": [Ldap] names no directory (neither HostName nor "
                                                                "LdifFile): every user delivery will log \"Unable to "
                                                                "connect to LDAP server\"",
                                                         at + "15: [Queue] RetrySeconds is not a key locmail reads",
                                                         at + "16: section [Directory] is not one locmail reads",
                                                         at + "23: [Log] Syslg is not a key locmail reads"}));

    const std::string fifo = (tmp.path() / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CheckConfigFile(fifo).errors, std::vector<std::string>{"cannot read " + fifo + ": not a regular file"});
    EXPECT_EQ(CheckConfigFile(file + ".none").errors.size(), 1u);
}

} // namespace
