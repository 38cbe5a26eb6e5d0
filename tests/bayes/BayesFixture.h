// The fixture of the Bayesian filter's tests: a queue (for bounces), a
// qxmta.ini with a "BayesianFilter" section, a user's home, the learner's
// queue directory and the test plug-in (ClassifierPlugin.cpp).
#pragma once

#include "bayes/CBayesianFilter.h"
#include "support/CaptureLog.h"
#include "suite/vexclass/OutgoingMail.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace bayestest {

inline const std::string kMessage =
    "From: someone@far.example\r\nTo: ann@local.example\r\nSubject: WIN\r\n\r\nBuy now\r\n";

class BayesTest : public mimetest::MailTest {
protected:
    void SetUp() override
    {
        mimetest::MailTest::SetUp();
        std::filesystem::create_directory(home = tmp_ / "home");
        testsupport::WriteFile(home + "/.bayesian", ""); // where the plug-in records its calls
        std::filesystem::create_directory(tmp_ / "learn");
        message = QueueOriginal(kMessage, "someone@far.example", {"ann@local.example"}) + ".msg";
        output = tmp_ / "lmda-out";
    }
    // qxmta.ini with these lines in [BayesianFilter]; a new file, so readers see it at once.
    void Configure(const std::string& lines)
    {
        testsupport::WriteFile(tmp_ / "next.ini", "[Mail]\nPostmaster = pm@mail.example\n[Gateway]\nQueueDirectory = " +
                                                      std::string(tmp_ / "learn") + "\n[BayesianFilter]\n" + lines);
        std::rename((tmp_ / "next.ini").c_str(), (tmp_ / "qxmta.ini").c_str());
    }
    static std::string PluginLines(const std::string& name = "ClassifyForTests")
    {
        return "Type = DLL\nEnable = YES\nDllLocation = " LOCMAIL_BAYES_TEST_PLUGIN "\nFunctionName = " + name + "\n";
    }

    std::string home, message, output;
    locmail::log::CaptureLog log;
};

} // namespace bayestest
