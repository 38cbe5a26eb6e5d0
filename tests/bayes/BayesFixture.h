// The fixture of the Bayesian filter's tests: a queue (for bounces), a
// qxmta.ini with a "BayesianFilter" section, a user's home, filter programs
// written as scripts, and the test plug-in (TestPlugin.cpp).
#pragma once

#include "bayes/CBayesianFilter.h"
#include "support/CaptureLog.h"
#include "suite/vexclass/OutgoingMail.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace bayestest {

using Lines = std::vector<std::string>;

inline const std::string kMessage =
    "From: someone@far.example\r\nTo: ann@local.example\r\nSubject: WIN\r\n\r\nBuy now\r\n";

class BayesTest : public mimetest::MailTest {
protected:
    void SetUp() override
    {
        mimetest::MailTest::SetUp();
        home = tmp_ / "home";
        std::filesystem::create_directory(home);
        message = QueueOriginal(kMessage, "someone@far.example", {"ann@local.example"}) + ".msg";
        output = tmp_ / "lmda-out";
    }

    // qxmta.ini with these lines in [BayesianFilter]; a new file, so readers see it at once.
    void Configure(const std::string& lines)
    {
        const std::string next = tmp_ / "next.ini";
        testsupport::WriteFile(next, "[Mail]\nPostmaster = pm@mail.example\n[Gateway]\nQueueDirectory = " +
                                         std::string(tmp_ / "learn") + "\n[BayesianFilter]\n" + lines);
        std::rename(next.c_str(), (tmp_ / "qxmta.ini").c_str());
    }
    static std::string PluginLines(const std::string& function = "ClassifyForTests")
    {
        return "Type = DLL\nEnable = YES\nDllLocation = " + std::string(LOCMAIL_BAYES_TEST_PLUGIN) +
               "\nFunctionName = " + function + "\n";
    }

    // An executable shell script NAME in the test directory; its path.
    std::string Script(const std::string& name, const std::string& body)
    {
        const std::string path = tmp_ / name;
        testsupport::WriteFile(path, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return path;
    }

    // The plug-in's calls recorded at the home's data path.
    std::string PluginCalls() const
    {
        const std::string path = home + "/.bayesian";
        return std::filesystem::exists(path) ? testsupport::ReadFile(path) : "";
    }

    std::string home, message, output;
    locmail::log::CaptureLog log;
};

} // namespace bayestest
