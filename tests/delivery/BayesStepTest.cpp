// The Bayesian step in the pipeline: the changed copy filed by the rules and
// the inbox for its recipient only, whichever way its delivery ends, and the
// lock failure that tells the postmaster and keeps the message queued.
#include "AgentFixture.h"

#include <filesystem>

namespace {

// Files "USER FOLDER Subject: ...", marked when the status record describes another text.
class SubjectStore : public doubles::ScriptedStore {
public:
    Lines filed;
    void AddUserMsg(const char* user, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat, const char* text,
                    unsigned long length, const char* folder, bool a, bool b) override
    {
        const std::string m(text, length);
        const auto start = m.find("Subject:");
        filed.push_back(std::string(user) + " " + folder + " " + m.substr(start, m.find('\r', start) - start) +
                        (stat->size == length ? "" : " (status record of another text)"));
        ScriptedStore::AddUserMsg(user, body, envelope, stat, text, length, folder, a, b);
    }
};

// Message 1 from spam@y (spam to the test plug-in, tests/bayes/TestPlugin.cpp) to u@x, whose antispam.cfg is
// SETTINGS, and to v@x, who has none: the filter is off for v. RULES file u's mail into A and v's into B.
class BayesStepTest : public AgentTest {
protected:
    Lines RunFor(const std::string& settings, const std::string& extra = "", bool rules = false)
    {
        subjects.users = {"u@x", "v@x"};
        subjects.homeRoot = dir.path().string();
        subjects.filed.clear();
        for (const char* home : {"u@x", "v@x"})
            std::filesystem::create_directories(dir / home);
        for (const auto& [path, folder] : {std::pair{"u@x/rules.sieve", "A"}, {"v@x/rules.sieve", "B"}})
            if (rules)
                testsupport::WriteFile(dir / path, std::string("require \"fileinto\"; fileinto \"") + folder + "\";");
            else
                std::filesystem::remove(dir / path);
        testsupport::WriteFile(dir / "new.ini", "[Mail]\nPostmaster = pm@x\n[BayesianFilter]\nType = DLL\n"
                                                "Enable = YES\nFunctionName = ClassifyForTests\nDllLocation = "
                                                LOCMAIL_BAYES_TEST_PLUGIN "\n" + extra);
        std::rename((dir / "new.ini").c_str(), (dir / "qxmta.ini").c_str());
        testsupport::WriteFile(dir / "u@x/antispam.cfg", settings);
        agent = std::make_unique<CLocalMail>(subjects, "queue", "LocalMail");
        ResetQueue();
        Queue(1).AddSender("spam@y", "smtp").AddRecipient("u@x", "local").AddRecipient("v@x", "local");
        return Run();
    }

    SubjectStore subjects;
};

TEST_F(BayesStepTest, TheChangedCopyServesItsRecipientOnlyWhicheverWayItsDeliveryEnds)
{
    const std::string changeSubject = "BayesianFilterAction=changesubject\r\nSpamSubject=[SPAM]\r\n";
    const struct {
        std::string settings;
        int storeCode; // of u's filing (-1: filed, with rules, which come first: a store failure stays its last error)
        Lines filed;
    } cases[] = {
        {changeSubject, -1, {"u@x A Subject: [SPAM]", "v@x B Subject: hi"}},
        {changeSubject, 17, {"u@x inbox Subject: [SPAM]", "v@x inbox Subject: hi"}}, // u's filing throws
        {"BayesianFilterAction=discard\r\n", 0, {"v@x inbox Subject: hi"}},
    };
    for (const auto& c : cases) {
        subjects.fileCodes = {{"u@x", {std::max(c.storeCode, 0)}}};
        RunFor(c.settings, "", c.storeCode < 0);
        EXPECT_EQ(subjects.filed, c.filed);
        EXPECT_EQ(std::count(QueueCalls().begin(), QueueCalls().end(), "Defer 1 0"), c.storeCode > 0);
    }
}

TEST_F(BayesStepTest, LockFailureTellsThePostmasterAndKeepsTheMessageQueued)
{
    doubles::TheMime().throwOn = "Send"; // a failure to tell changes nothing
    RunFor("BayesianFilterAction=discard\r\n", "TimeOut = 0\n");
    EXPECT_TRUE(stop);
    EXPECT_EQ(subjects.filed, Lines{});
    EXPECT_EQ(std::count(QueueCalls().begin(), QueueCalls().end(), "Remove 1"), 0);
    const std::string mail = MimeCalls().empty() ? "" : MimeCalls().back();
    EXPECT_TRUE(mail.starts_with("Send pm@x|pm@x|Unable to lock the home directory while running Bayesian filter|"
                                 "The system was unable to lock the home directory for user: u@x\r\n")) << mail;
}

} // namespace
