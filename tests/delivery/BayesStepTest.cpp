// The Bayesian step in the pipeline: results that end a delivery, the changed
// copy filed by the rules and the inbox for its recipient only, and the lock
// failure that tells the postmaster and keeps the message queued.
#include "AgentFixture.h"

#include <filesystem>

namespace {

// Records the Subject line of every message filed, and whether the status
// record describes that very text.
class SubjectStore : public doubles::ScriptedStore {
public:
    Lines filed;
    void AddUserMsg(const char* user, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat, const char* text,
                    unsigned long length, const char* folder, bool a, bool b) override
    {
        const std::string message(text, length);
        const auto start = message.find("Subject:");
        filed.push_back(std::string(user) + " " + folder + " " +
                        message.substr(start, message.find("\r\n", start) - start) +
                        (stat->size == length ? "" : " (status record of another text)"));
        ScriptedStore::AddUserMsg(user, body, envelope, stat, text, length, folder, a, b);
    }
};

class BayesStepTest : public AgentTest {
protected:
    void SetUp() override
    {
        AgentTest::SetUp();
        subjects.users = {"u@x", "v@x"};
        subjects.homeRoot = dir.path().string();
        std::filesystem::create_directories(dir / "u@x");
        std::filesystem::create_directories(dir / "v@x");
        std::filesystem::create_directories(dir / "tmp");
        setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TMPDIR");
        AgentTest::TearDown();
    }
    // The filter is the test plug-in (tests/bayes/TestPlugin.cpp): spam for a sender "spam...".
    void Configure(const std::string& extra = "")
    {
        testsupport::WriteFile(dir / "new.ini", "[Mail]\nPostmaster = pm@x\n[BayesianFilter]\nType = DLL\n"
                                                "Enable = YES\nFunctionName = ClassifyForTests\nDllLocation = " +
                                                    std::string(LOCMAIL_BAYES_TEST_PLUGIN) + "\n" + extra);
        std::rename((dir / "new.ini").c_str(), (dir / "qxmta.ini").c_str());
        agent = std::make_unique<CLocalMail>(subjects, "queue", "LocalMail");
    }
    Lines RunFor(const char* sender)
    {
        ResetQueue();
        Queue(1).AddSender(sender, "smtp").AddRecipient("u@x", "local").AddRecipient("v@x", "local");
        subjects.filed.clear();
        return Run();
    }

    SubjectStore subjects;
};

TEST_F(BayesStepTest, ResultsThatEndOrChangeTheDelivery)
{
    struct Case {
        std::string settings; // u@x's antispam.cfg; v@x has none (the filter is off for v)
        const char* sender;
        Lines wantFiled;
        std::string wantLine; // u@x's Bayesian line
        std::size_t wantMails;
    } cases[] = {
        {"BayesianFilterAction=changesubject\r\nSpamSubject=[SPAM]\r\n", "spam@y",
         {"u@x inbox Subject: [SPAM]", "v@x inbox Subject: hi"}, "6 LocalMail: The message has been changed by Bayesian filter", 0},
        {"BayesianFilterAction=X-Spam-Status\r\n", "spam@y", {"u@x inbox Subject: hi", "v@x inbox Subject: hi"},
         "6 LocalMail: The message has been changed by Bayesian filter", 0},
        {"BayesianFilterAction=discard\r\n", "spam@y", {"v@x inbox Subject: hi"},
         "6 LocalMail: The message has been discarded by Bayesian filter", 0},
        // This binary has no queue for the returned mail: the action fails and the message is delivered.
        {"BayesianFilterAction=bounce\r\n", "spam@y", {"u@x inbox Subject: hi", "v@x inbox Subject: hi"},
         "6 LocalMail: An error has occurred while running the Bayesian filter", 0},
        {"BayesianFilterAction=discard\r\n", "unsure@y", {"u@x inbox Subject: hi", "v@x inbox Subject: hi"}, "", 0},
        {"BayesianFilterAction=discard\r\n", "broken@y", {"u@x inbox Subject: hi", "v@x inbox Subject: hi"},
         "6 LocalMail: An error has occurred while running the Bayesian filter", 0},
        {"BayesianFilterAction=discard\r\nWhiteList=*@y\r\n", "spam@y",
         {"u@x inbox Subject: hi", "v@x inbox Subject: hi"}, "6 LocalMail: By passed Bayesian Filter - Matched WhiteList", 0},
    };
    Configure();
    for (const auto& c : cases) {
        testsupport::WriteFile(dir / "u@x/antispam.cfg", c.settings);
        const Lines lines = RunFor(c.sender);

        EXPECT_EQ(subjects.filed, c.wantFiled) << c.settings << c.sender;
        EXPECT_EQ(MimeCalls().size(), c.wantMails) << c.settings << c.sender;
        const auto found = std::find(lines.begin(), lines.end(), c.wantLine);
        EXPECT_EQ(found != lines.end(), !c.wantLine.empty()) << c.settings << c.sender;
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "6 LocalMail: By passed Bayesian Filter because it is disabled by the user"),
                  lines.end());
        EXPECT_FALSE(std::filesystem::exists(dir / "u@x/bayesian.lock"));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "the changed copy's file is released";
    }
}

TEST_F(BayesStepTest, TheChangedCopyGoesThroughTheRulesForItsRecipientOnly)
{
    Configure();
    testsupport::WriteFile(dir / "u@x/antispam.cfg", "BayesianFilterAction=changesubject\r\nSpamSubject=[SPAM]\r\n");
    testsupport::WriteFile(dir / "u@x/rules.sieve", "require \"fileinto\"; fileinto \"A\";");
    testsupport::WriteFile(dir / "v@x/rules.sieve", "require \"fileinto\"; fileinto \"B\";");
    RunFor("spam@y");
    EXPECT_EQ(subjects.filed, (Lines{"u@x A Subject: [SPAM]", "v@x B Subject: hi"}));
    // A store failure that ends the changed delivery still restores the queued message.
    // (No rules for v: the scripted store's failure would stay in its last-error code for the rules library.)
    std::filesystem::remove(dir / "u@x/rules.sieve");
    std::filesystem::remove(dir / "v@x/rules.sieve");
    subjects.fileCodes = {{"u@x", {17}}};
    RunFor("spam@y");
    EXPECT_EQ(subjects.filed, (Lines{"u@x inbox Subject: [SPAM]", "v@x inbox Subject: hi"}));
    EXPECT_NE(std::find(QueueCalls().begin(), QueueCalls().end(), "Defer 1 0"), QueueCalls().end());
}

TEST_F(BayesStepTest, LockFailureTellsThePostmasterAndKeepsTheMessageQueued)
{
    Configure("TimeOut = 0\n");
    testsupport::WriteFile(dir / "u@x/antispam.cfg", "BayesianFilterAction=discard\r\n");
    doubles::TheMime().throwOn = "Send";
    const Lines lines = RunFor("ham@y");
    EXPECT_TRUE(stop);
    EXPECT_EQ(subjects.filed, Lines{});
    EXPECT_EQ(std::count(QueueCalls().begin(), QueueCalls().end(), "Remove 1"), 0);
    ASSERT_EQ(MimeCalls().size(), 2u);
    EXPECT_EQ(MimeCalls()[0], "New ,");
    EXPECT_EQ(MimeCalls()[1],
              "Send pm@x|pm@x|Unable to lock the home directory while running Bayesian filter|"
              "The system was unable to lock the home directory for user: u@x\r\nwhile running the Bayesian filter. "
              "Please manually remove the stale\r\nbayesian.lock file in the user's home directory and restart\r\n"
              "local mail delivery module afterward. If the problem still persists,\r\nplease contact VEX Technical "
              "Support for assistance\r\n");
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "6 LocalMail: Unable to lock the home directory while running Bayesian filter"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "1 LocalMail: Cannot lock user home directory"), lines.end());
}

} // namespace
