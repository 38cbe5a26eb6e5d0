// The X Scanner over the embedded LDIF directory: its results for the marks,
// hosts, white lists and subject markers of a header, where it files and
// bounces, and when it loads the RBL host settings again.
#include "antispam/CAntiSpamConfig.h"
#include "antispam/CXScanner.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using testsupport::WriteFile;
using Lines = std::vector<std::string>;

std::string PreProcessor(const std::string& values)
{
    return "dn: cn=PreProcessor,o=locmail\nobjectClass: qxconfig\ncn: PreProcessor\n" + values;
}

const std::string kHosts = PreProcessor("x-vexblaction: bouncer.example,P,d,local:b\n"
                                        "x-vexblaction: ignorer.example,p,i\n"
                                        "x-vexblaction: filer.example,x,i,smtp:d,local:f\n"
                                        "x-vexblaction: dup.example,P,i\nx-vexblaction: dup.example,P,d\n");

// Records where the message would be filed or bounced instead of doing it.
class RecordingScanner : public CXScanner {
public:
    bool FileMessage(const char*, const char*, const char* folder) override
    {
        calls.push_back(std::string("file ") + (folder ? folder : "(none)"));
        return true;
    }
    bool BounceToSender(const char* sender, const char*, const char* reason) override
    {
        calls.push_back(std::string("bounce ") + sender + " " + (reason ? reason : "(none)"));
        return true;
    }
    Lines calls;
};

class XScannerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("LOCMAIL_CONFIG", (dir / "qxmta.ini").c_str(), 1);
        Configure("");
        WriteFile(dir / "directory.ldif", kHosts);
    }
    void TearDown() override { ::unsetenv("LOCMAIL_CONFIG"); }

    void Configure(const std::string& extra)
    {
        WriteFile(dir / "new.ini", "[Ldap]\nLdifFile=directory.ldif\n" + extra);
        std::rename((dir / "new.ini").c_str(), (dir / "qxmta.ini").c_str());
    }

    testsupport::TempDir dir;
    locmail::log::CaptureLog log;
    std::time_t now = 1'000'000'000;
};

TEST_F(XScannerTest, ResultsFollowTheMarksTheHostsAndTheUser)
{
    const std::string home = dir.path().string();
    struct Case {
        std::string spamAssassin, settings, header; // the header ends with its empty line
        int result;
        std::string call;
    } cases[] = {
        {"", "", "Subject: hi\r\n\r\nX-Spam-Status: YES\r\n", 0, ""}, // the body is not read
        {"", "", "X-Spam-Status: yes\r\n\r\n", 1, ""},
        {"", "", "x-VEXBL: unknown.example/1.2.3.4\r\n\r\n", 2, ""},
        {"", "", "X-vexbl:bouncer.example/1.2.3.4\r\n\r\n", 0, ""},
        {"", "", "Subject: hi\n\nX-Spam-Status: YES\n", 1, ""}, // bare line feeds: read to the end
        {"", "XScannerAction=file\nSystemSpamFolder=Junk", "X-vexbl: bouncer.example\r\n\r\n", 3, "file Junk"},
        {"", "", "X-vexbl: dup.example/1.2.3.4\r\n\r\n", 2, ""}, // the value read last counts
        {"", "", "X-vexbl: filer.example/1.2.3.4\r\n\r\n", 3, "file system-spam"},
        {"", "XBounceReason=No", "X-vexbl: ignorer.example,bouncer.example/1.2.3.4\r\n\r\n", 6, "bounce s@x No"},
        {"", "", "X-vexbl: bouncer.example,,ignorer.example/1.2.3.4\r\n\r\n", 1, ""}, // the last host decides
        {"", "IPWhiteList=1.2.3.4", "X-vexbl: bouncer.example/1.2.3.4\r\n\r\n", 8, ""},
        {"", "ignorer.example-action=bounce,Go away", "X-vexbl: ignorer.example/5.6.7.8\r\n\r\n", 6,
         "bounce s@x Go away"},
        {"", "bouncer.example-action=file", "X-vexbl: bouncer.example/5.6.7.8\r\n\r\n", 3, "file (none)"},
        {"Action-local=ChangeSubject, [SPAM]", "", "Subject: a [SPAM] b\r\n\r\n", 1, ""},
        {"Action-local=ChangeSubject, [SPAM]", "", "Subject: a [spam] b\r\n\r\n", 0, ""},
        {"Action-global=changesubject,***", "", "Subject: ***\r\n\r\n", 1, ""},
        {"Action-local=Tag,***\nAction-global=ChangeSubject,x", "", "Subject: ***\r\n\r\n", 0, ""},
    };
    for (const Case& c : cases) {
        Configure("[SpamAssassin]\n" + c.spamAssassin + "\n");
        WriteFile(dir / "antispam.cfg", c.settings);
        WriteFile(dir / "1.msg", c.header + "body\r\n");
        RecordingScanner scanner;
        scanner.LoadRblSettings();
        CAntiSpamConfig settings(home.c_str());
        scanner.SetAntiSpamConfig(&settings);
        log.Clear();
        EXPECT_EQ(scanner.Scan("s@x", home.c_str(), (dir / "1.msg").c_str()), c.result) << c.header;
        EXPECT_EQ(scanner.calls, c.call.empty() ? Lines{} : Lines{c.call}) << c.header;
        if (c.result == 0) {
            EXPECT_EQ(log.LinesOf("XScanner"), Lines{}) << c.header;
        }
    }

    RecordingScanner scanner;
    scanner.LoadRblSettings();
    CAntiSpamConfig settings(home.c_str());
    EXPECT_EQ(scanner.Scan("s@x", home.c_str(), (dir / "1.msg").c_str()), CXScanner::kXNoSettings);
    WriteFile(dir / "antispam.cfg", "WhiteList=*@friend.example\nXScannerAction=file");
    CAntiSpamConfig friendly(home.c_str());
    scanner.SetAntiSpamConfig(&friendly);
    EXPECT_EQ(scanner.Scan("a@friend.example", home.c_str(), (dir / "none.msg").c_str()), CXScanner::kXWhiteListed);
    EXPECT_EQ(scanner.Scan("s@x", home.c_str(), (dir / "none.msg").c_str()), CXScanner::kXError);
    WriteFile(dir / "1.msg", "X-Spam-Status: YES\r\n\r\n");
    EXPECT_EQ(scanner.Scan("s@x", "", (dir / "1.msg").c_str()), CXScanner::kXError); // nowhere to file
    EXPECT_EQ(scanner.calls, Lines{});

    // A long field is shown cut in its line, the path whole; the hosts are still read.
    const std::string hosts = std::string(2000, 'a') + ",bouncer.example";
    WriteFile(dir / "1.msg", "X-vexbl: " + hosts + "/9.9.9.9\r\n\r\n");
    log.Clear();
    EXPECT_EQ(scanner.Scan("s@x", home.c_str(), (dir / "1.msg").c_str()), CXScanner::kXBounced);
    EXPECT_EQ(log.LinesOf("XScanner"), Lines{"5 XScanner: Detected x-vexbl header (" + hosts.substr(0, 1024) +
                                             ") in message file " + dir / "1.msg"});
}

TEST_F(XScannerTest, LoadsWhenDueAndTriesAgainAfterAFailure)
{
    RecordingScanner scanner;
    scanner.SetClock([this] { return now; });
    scanner.LoadRblSettings();
    EXPECT_EQ(log.LinesOf("XScanner"),
              (Lines{"5 XScanner: Loading RBL default settings",
                     "5 XScanner: RBL Host: bouncer.example; mode: 0, action: BOUNCE",
                     "5 XScanner: RBL Host: ignorer.example; mode: 0, action: IGNORE",
                     "5 XScanner: RBL Host: filer.example; mode: 1, action: FILE",
                     "5 XScanner: RBL Host: dup.example; mode: 0, action: IGNORE",
                     "5 XScanner: RBL Host: dup.example; mode: 0, action: DISCARD", "5 XScanner: Done"}));

    WriteFile(dir / "directory.ldif", PreProcessor("x-vexblaction: BOUNCER.example,P,i\n"));
    const struct {
        int minutes; // since the first load
        const char* interval;
        int32_t bouncer;
    } steps[] = {{14, "", 3}, {15, "", 0}, {15, "ReloadInterval=0", 0}};
    for (const auto& step : steps) {
        Configure(std::string("[XScanner]\n") + step.interval + "\n");
        scanner.SetClock([this, step] { return now + step.minutes * 60; });
        log.Clear();
        scanner.LoadRblSettings();
        EXPECT_EQ(scanner.GetRblAction("bouncer.example"), step.bouncer) << step.minutes;
        EXPECT_EQ(log.LinesOf("XScanner").size(), step.bouncer == 3 ? 0u : 3u) << step.minutes;
    }

    // No directory: nothing loaded, every host discarded, and every call tries again.
    std::filesystem::remove(dir / "directory.ldif");
    for (int attempt = 0; attempt < 2; ++attempt) {
        log.Clear();
        scanner.LoadRblSettings();
        EXPECT_EQ(log.LinesOf("XScanner"),
                  (Lines{"5 XScanner: Loading RBL default settings", "1 XScanner: Unable to connect to LDAP server"}));
        EXPECT_EQ(scanner.GetRblAction("bouncer.example"), 1);
    }
}

} // namespace
