// The library's helper classes (Tempstr, Filterfile) and CMailsort's look for
// the filter file.
#include "RulesFixture.h"
#include "suite/mailsort/CMailsort.h"
#include "suite/mailsort/Filterfile.h"
#include "suite/mailsort/Tempstr.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

TEST(Tempstr, GrowsShrinksAndCompares)
{
    Tempstr text;
    EXPECT_EQ(static_cast<const char*>(text), nullptr);
    EXPECT_TRUE(text == "");
    EXPECT_EQ(text.pop(), '\0');
    text = "abc";
    for (char c = 'd'; c <= 'z'; ++c)
        text += c;
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(text.peek(), 'z');
    EXPECT_EQ(text.pop(), 'z');
    text.Length(3);
    text.Length(10); // never grows
    EXPECT_STREQ(text, "abc");
    text += static_cast<const char*>(text); // appending itself survives the buffer moving
    EXPECT_STREQ(text, "abcabc");
    text.set(4294967295UL);
    EXPECT_STREQ(text, "4294967295");
    Tempstr other;
    other = "4294967295";
    EXPECT_TRUE(text == other);
    EXPECT_LT(text - "5", 0);
    text.reset();
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_STREQ(text, "");
}

TEST(Filterfile, WritesThroughTheBufferAndReadsBack)
{
    testsupport::TempDir dir;
    std::string path = dir / "f";
    std::string written;
    {
        Filterfile out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        for (int i = 0; i < 3000; ++i) {
            char c = static_cast<char>('a' + i % 26);
            EXPECT_EQ(out.put(c), c);
            written += c;
        }
        out << "\xff" << "end";
        written += "\xff" "end";
        EXPECT_TRUE(out.Close());
        EXPECT_FALSE(out.errflag());
    }
    Filterfile in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string first(1, static_cast<char>(in.get()));
    Filterfile copy(in); // same position, own descriptor
    EXPECT_EQ(copy.peek(), 'b');
    std::string read = first;
    for (int c = in.get(); c >= 0; c = in.get())
        read += static_cast<char>(c);
    EXPECT_EQ(read, written);
    EXPECT_EQ(in.peek(), -1);
    EXPECT_EQ(copy.get(), 'b');
}

TEST(Filterfile, WriteErrorSetsTheFlag)
{
    Filterfile bad(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    bad << "x";
    EXPECT_LT(bad.flush(), 0);
    EXPECT_TRUE(bad.errflag());
    bad.clearerr();
    EXPECT_FALSE(bad.errflag());
}

TEST(CMailsort, FindsTheFilterFileInTheHome)
{
    testsupport::TempDir home;
    mailsorttest::StoreDouble store(home.path().string());
    locmail::log::CaptureLog capture;
    CMailsort rules(store, "LocalMail");
    EXPECT_FALSE(rules.IsFilterFileExist(mailsorttest::kUser, false));
    EXPECT_STREQ(rules.GetHomeDir(), home.path().c_str());
    testsupport::WriteFile(home / "rules.sieve", "keep;");
    EXPECT_TRUE(rules.IsFilterFileExist(mailsorttest::kUser, false));
    EXPECT_FALSE(rules.IsFilterFileExist("nobody@example.com", false));
    EXPECT_FALSE(rules.IsFilterFileExist("Sales", false));
    std::filesystem::remove(home / "rules.sieve");
    std::filesystem::create_directory(home / "rules.sieve");
    EXPECT_FALSE(rules.IsFilterFileExist(mailsorttest::kUser, false));
}

} // namespace
