#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"
#include "suite/platform/ProfileCache.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using locmail::ProfileParseCount;
using testsupport::WriteFile;

std::string Value(const std::string& path, const char* section, const char* key, unsigned long size = 256)
{
    std::vector<char> out(size);
    unsigned long n = GetPrivateProfileStringA(section, key, "<default>", out.data(), size, path.c_str());
    return std::string(out.data(), n);
}

void SetMtime(const std::string& path, timespec mtime)
{
    timespec times[2] = {mtime, mtime};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class ProfileCacheTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(path_, "[S]\nk=one\n"); }
    testsupport::TempDir dir_;
    std::string path_ = dir_ / "cache.ini";
};

// Each change keeps part of what a careless cache would compare: size, mtime or inode.
TEST_F(ProfileCacheTest, UnchangedFileIsParsedOnceAndAChangedOneIsSeenOnTheNextCall)
{
    auto before = ProfileParseCount();
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    EXPECT_EQ(Value(path_, "s", "K"), "one");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 3, path_.c_str()), 3u);
    EXPECT_EQ(ProfileParseCount() - before, 1u);

    struct Case { const char *text, *want; bool keepMtime, viaRename; };
    const Case cases[] = {
        {"[S]\nk=two\n", "two", false, false},    // same size, new mtime
        {"[S]\nk=three\n", "three", true, false}, // new size, old mtime
        {"[S]\nk=six\n", "six", true, true},      // same size and mtime, renamed over
    };
    for (const Case& c : cases) {
        std::string path = dir_ / c.want, written = c.viaRename ? path + ".new" : path;
        WriteFile(path, "[S]\nk=one\n");
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(Value(path, "S", "k"), "one");
        WriteFile(written, c.text);
        SetMtime(written, c.keepMtime ? st.st_mtim : timespec{st.st_mtim.tv_sec, st.st_mtim.tv_nsec == 1 ? 2 : 1});
        ASSERT_EQ(std::rename(written.c_str(), path.c_str()), 0);
        EXPECT_EQ(Value(path, "S", "k"), c.want);
    }
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    ASSERT_EQ(std::remove(path_.c_str()), 0);
    EXPECT_EQ(Value(path_, "S", "k"), "<default>");
    WriteFile(path_, "[S]\nk=back\n");
    EXPECT_EQ(Value(path_, "S", "k"), "back");
    EXPECT_EQ(Value(dir_.path().string(), "S", "k"), "<default>"); // a directory is no file
}

// Within a scope every read sees the version of its first read; the next scope sees the change.
TEST_F(ProfileCacheTest, AReadScopeKeepsOneVersionOfEachFileUntilItEnds)
{
    const std::string other = dir_ / "other.ini";
    auto rewrite = [&](const std::string& path, const char* text) {
        WriteFile(path + ".new", text);
        ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
    };
    {
        locmail::ProfileReadScope scope;
        EXPECT_EQ(Value(path_, "S", "k"), "one");
        EXPECT_EQ(Value(other, "S", "k"), "<default>"); // a missing file stays missing too
        rewrite(path_, "[S]\nk=two\n");
        WriteFile(other, "[S]\nk=made\n");
        {
            locmail::ProfileReadScope inner; // adds nothing to the outer scope
            EXPECT_EQ(Value(path_, "S", "k"), "one");
        }
        EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, path_.c_str()), 7u);
        EXPECT_EQ(Value(path_, "S", "k"), "one");
        EXPECT_EQ(Value(other, "S", "k"), "<default>");
    }
    EXPECT_EQ(Value(path_, "S", "k"), "two");
    EXPECT_EQ(Value(other, "S", "k"), "made");
    locmail::ProfileReadScope next;
    rewrite(path_, "[S]\nk=three\n");
    EXPECT_EQ(Value(path_, "S", "k"), "three");
}

TEST_F(ProfileCacheTest, HugeFilesLongLinesAndBinaryGarbageAreReadWithinTheBuffer)
{
    std::mt19937 random(20240601);
    std::string text(1024 * 1024, '\0');
    for (char& c : text)
        c = static_cast<char>(random() & 0xFF);
    text += std::string("\n[Big]\nnul=a\0b\nLine=", 20) + std::string(1024 * 1024, 'x') + "\n";
    const std::string filler(90, 'v');
    for (int i = 0; i < 110000; ++i)
        text += "key" + std::to_string(i) + "=" + filler + std::to_string(i) + "\n";
    ASSERT_GT(text.size(), 10u * 1024 * 1024);
    WriteFile(path_, text);
    EXPECT_EQ(Value(path_, "Big", "nul"), "a");
    EXPECT_EQ(Value(path_, "Big", "KEY109999"), filler + "109999");
    EXPECT_EQ(Value(path_, "Big", "Line", 256), std::string(255, 'x'));
    EXPECT_EQ(Value(path_, "Big", "Line", 2 * 1024 * 1024), std::string(1024 * 1024, 'x'));
    std::vector<char> out(1 << 16);
    EXPECT_LE(GetPrivateProfileStringA(nullptr, nullptr, "", out.data(), out.size(), path_.c_str()), out.size() - 2);
}

} // namespace
