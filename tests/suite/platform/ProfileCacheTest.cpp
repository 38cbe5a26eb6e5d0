#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"
#include "suite/platform/ProfileCache.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using locmail::ProfileParseCount;

std::string Value(const std::string& path, const char* section, const char* key,
                  unsigned long size = 256)
{
    std::vector<char> out(size);
    unsigned long n = GetPrivateProfileStringA(section, key, "<default>", out.data(), size, path.c_str());
    return std::string(out.data(), n);
}

timespec MtimeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

void SetMtime(const std::string& path, timespec mtime)
{
    timespec times[2] = {mtime, mtime};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class ProfileCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = dir_ / "cache.ini";
        testsupport::WriteFile(path_, "[S]\nk=one\n");
    }
    testsupport::TempDir dir_;
    std::string path_;
};

TEST_F(ProfileCacheTest, UnchangedFileIsParsedOnce)
{
    auto before = ProfileParseCount();
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    EXPECT_EQ(Value(path_, "s", "K"), "one");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 3, path_.c_str()), 3u);
    EXPECT_EQ(ProfileParseCount() - before, 1u);
}

TEST_F(ProfileCacheTest, SameSizeRewriteWithNewMtimeIsSeenAtOnce)
{
    timespec old = MtimeOf(path_);
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    testsupport::WriteFile(path_, "[S]\nk=two\n");
    SetMtime(path_, timespec{old.tv_sec, old.tv_nsec == 1 ? 2 : 1});
    EXPECT_EQ(Value(path_, "S", "k"), "two");
}

TEST_F(ProfileCacheTest, SizeChangeIsSeenEvenWithTheOldMtime)
{
    timespec old = MtimeOf(path_);
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    testsupport::WriteFile(path_, "[S]\nk=three\n");
    SetMtime(path_, old);
    EXPECT_EQ(Value(path_, "S", "k"), "three");
}

TEST_F(ProfileCacheTest, ReplacementByRenameIsSeenEvenWithSameSizeAndMtime)
{
    timespec old = MtimeOf(path_);
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    std::string next = dir_ / "next.ini";
    testsupport::WriteFile(next, "[S]\nk=six\n");
    SetMtime(next, old);
    ASSERT_EQ(std::rename(next.c_str(), path_.c_str()), 0);
    EXPECT_EQ(Value(path_, "S", "k"), "six");
}

TEST_F(ProfileCacheTest, RemovedFileGivesDefaultsThenItsReturnIsSeen)
{
    EXPECT_EQ(Value(path_, "S", "k"), "one");
    ASSERT_EQ(std::remove(path_.c_str()), 0);
    EXPECT_EQ(Value(path_, "S", "k"), "<default>");
    testsupport::WriteFile(path_, "[S]\nk=back\n");
    EXPECT_EQ(Value(path_, "S", "k"), "back");
}

TEST_F(ProfileCacheTest, DirectoryIsAMissingFile)
{
    EXPECT_EQ(Value(dir_.path().string(), "S", "k"), "<default>");
}

TEST_F(ProfileCacheTest, ConcurrentReadersSeeWholeVersionsWhileTheFileIsReplaced)
{
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<int> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            while (!stop.load()) {
                std::string v = Value(path_, "S", "k");
                if (v != "one" && v != "two")
                    ++bad;
                ++reads;
            }
        });
    auto before = ProfileParseCount();
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(locmail::WriteFileAtomic(path_, i % 2 ? "[S]\nk=one\n" : "[S]\nk=two\n"));
    while (reads.load() < 1000) {
        std::this_thread::yield();
    }
    stop = true;
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(ProfileParseCount(), before);
}

TEST_F(ProfileCacheTest, TenMegabyteFileIsReadWhole)
{
    std::string text = "[Big]\n";
    const std::string filler(90, 'v');
    for (int i = 0; i < 110000; ++i)
        text += "key" + std::to_string(i) + "=" + filler + std::to_string(i) + "\n";
    ASSERT_GT(text.size(), 10u * 1024 * 1024);
    testsupport::WriteFile(path_, text);
    EXPECT_EQ(Value(path_, "Big", "key0"), filler + "0");
    EXPECT_EQ(Value(path_, "Big", "KEY109999"), filler + "109999");
}

TEST_F(ProfileCacheTest, MegabyteLineIsCutToTheBuffer)
{
    const std::string line(1024 * 1024, 'x');
    testsupport::WriteFile(path_, "[Big]\nLine=" + line + "\nAfter=ok\n");
    EXPECT_EQ(Value(path_, "Big", "Line", 256), line.substr(0, 255));
    EXPECT_EQ(Value(path_, "Big", "Line", 2 * 1024 * 1024), line);
    EXPECT_EQ(Value(path_, "Big", "After"), "ok");
}

TEST_F(ProfileCacheTest, BinaryGarbageParsesWithoutHarm)
{
    std::mt19937 random(20240601);
    std::string garbage(1024 * 1024, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random() & 0xFF);
    garbage += "\n[tail]\nk=v\nnul=a";
    garbage += '\0';
    garbage += "b\n";
    testsupport::WriteFile(path_, garbage);
    EXPECT_EQ(Value(path_, "tail", "k"), "v");
    EXPECT_EQ(Value(path_, "tail", "nul"), "a");
    std::vector<char> out(1 << 16);
    unsigned long n = GetPrivateProfileStringA(nullptr, nullptr, "", out.data(), out.size(), path_.c_str());
    EXPECT_LE(n, out.size() - 2);
    EXPECT_EQ(GetPrivateProfileIntA("tail", "k", 4, path_.c_str()), 4u);
}

} // namespace
