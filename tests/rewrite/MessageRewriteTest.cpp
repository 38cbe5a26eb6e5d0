// ChangeSubject and AddXHeader: the rewritten copies, and the failure codes.
#include "rewrite/MessageRewrite.h"

#include "support/CaptureLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using locmail::rewrite::AddXHeader;
using locmail::rewrite::ChangeSubject;

struct Rewriting : ::testing::Test {
    // TEXT rewritten by CALL into a fresh output; "<failed>" when it returns false.
    template <typename Call>
    std::string Rewrite(const std::string& text, Call call)
    {
        testsupport::WriteFile(in, text);
        testsupport::WriteFile(out, "stale");
        return call(in.c_str(), out.c_str()) ? testsupport::ReadFile(out) : "<failed>";
    }
    testsupport::TempDir tmp;
    std::string in = tmp / "in.msg", out = tmp / "lmda0001";
    locmail::log::CaptureLog log;
};

TEST_F(Rewriting, ChangeSubjectReplacesEveryHeaderSubjectField)
{
    const std::string banner = "***** SPAM MAIL REPORTED BY BAYESIAN FILTER *****";
    struct Case {
        std::string text;
        const char* subject;
        std::string want;
    } cases[] = {
        {"From: a\r\nSUBJECT: Hello\r\n  world\r\n\tmore\r\nTo: b\r\n\r\nbody\r\n", banner.c_str(),
         "From: a\r\nSubject: " + banner + "\r\nTo: b\r\n\r\nbody\r\n"},
        {"Subject: one\r\nTo: b\r\nsubject:two\r\n\r\n", "S", "Subject: S\r\nTo: b\r\nSubject: S\r\n\r\n"},
        {"From: a\r\n\r\nSubject: body\r\n\r\n  x\r\n", "S",
         "From: a\r\nSubject: S\r\n\r\nSubject: body\r\n\r\n  x\r\n"},
        {"Subject: x\r\n\r\n", nullptr, "Subject: \r\n\r\n"},
        {"From: a\r\nTo: b", "S", "From: a\r\nTo: b"}, // no empty line: nothing added
        {"From: a\r\nSubject: x\r\n y", "S", "From: a\r\nSubject: S\r\n"},
        {"Subject\r\n\r\n", "S", "Subject\r\nSubject: S\r\n\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rewrite(c.text, [&](const char* i, const char* o) { return ChangeSubject(i, o, c.subject); }),
                  c.want)
            << testing::PrintToString(c.text);
    }
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(Rewriting, AddXHeaderGoesBeforeTheFirstEmptyLineOnly)
{
    struct Case {
        std::string text, want;
    } cases[] = {
        {"From: a\r\nTo: b\r\n\r\nbody\r\n\r\n", "From: a\r\nTo: b\r\nX-Spam-Status: YES\r\n\r\nbody\r\n\r\n"},
        {"X-Spam-Status: NO\r\n\r\n", "X-Spam-Status: NO\r\nX-Spam-Status: YES\r\n\r\n"},
        {"From: a\r\nTo: b\r\n", "From: a\r\nTo: b\r\n"},
        {"From: a\n\nbody\n", "From: a\n\nbody\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rewrite(c.text, AddXHeader), c.want) << testing::PrintToString(c.text);
}

TEST_F(Rewriting, FailuresAreLoggedWithTheirCodes)
{
    const std::string gone = tmp / "gone.msg", noDir = tmp / "no/dir";
    const auto subject = [](const char* i, const char* o) { return ChangeSubject(i, o, "S"); };
    struct Case {
        std::string message;
        const char* output;
        int subjectCode, headerCode;
    } cases[] = {{gone, out.c_str(), -3, -2}, {in, noDir.c_str(), -4, -3}, {in, "/dev/full", -5, -4}};
    testsupport::WriteFile(in, "Subject: x\r\n\r\nbody\r\n");
    for (const auto& c : cases) {
        log.Clear();
        EXPECT_FALSE(subject(c.message.c_str(), c.output));
        EXPECT_FALSE(AddXHeader(c.message.c_str(), c.output));
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                                   "1 Bayesian filter: ChangeSubject - Catch error: " + std::to_string(c.subjectCode),
                                   "1 Bayesian filter: AddXHeader - Catch error: " + std::to_string(c.headerCode)}));
    }
    EXPECT_EQ(testsupport::ReadFile(in), "Subject: x\r\n\r\nbody\r\n") << "the message itself is never changed";
}

} // namespace
