#include "suite/platform/Bounded.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include "support/TempDir.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace locmail;

std::vector<std::string> Entries(const testsupport::TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(FilesTest, PathJoin)
{
    struct Case {
        const char* dir;
        const char* name;
        const char* want;
    };
    const Case cases[] = {
        {"a", "b", "a/b"},
        {"a/", "b", "a/b"},
        {"/", "b", "/b"},
        {"", "b", "b"},
        {"/var/spool", "q/1.msg", "/var/spool/q/1.msg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathJoin(c.dir, c.name), c.want) << c.dir << " + " << c.name;
}

TEST(FilesTest, MakeDirectoryReportsEexist)
{
    testsupport::TempDir dir;
    std::string sub = dir / "sub";
    EXPECT_EQ(MakeDirectory(sub), 0);
    EXPECT_TRUE(IsDirectory(sub));
    EXPECT_FALSE(IsDirectory(dir / "missing"));
    errno = 0;
    EXPECT_EQ(MakeDirectory(sub), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(MakeDirectory(dir / "no/parent"), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(FilesTest, CopyFileOverReplacesALongerFile)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "src", "short");
    testsupport::WriteFile(dir / "dst", "a much longer old content");
    ASSERT_TRUE(CopyFileOver(dir / "src", dir / "dst"));
    EXPECT_EQ(testsupport::ReadFile(dir / "dst"), "short");

    EXPECT_FALSE(CopyFileOver(dir / "missing", dir / "dst"));
    EXPECT_EQ(testsupport::ReadFile(dir / "dst"), "short");
}

TEST(FilesTest, ReadWholeFileOfAMissingFileClearsTheOutput)
{
    testsupport::TempDir dir;
    std::string out = "stale";
    errno = 0;
    EXPECT_FALSE(ReadWholeFile(dir / "missing", out));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(out, "");
}

TEST(FilesTest, WriteFileAtomicIsDurableAndLeavesNoTemporary)
{
    testsupport::TempDir dir;
    std::string path = dir / "data";
    testsupport::WriteFile(path, "old content that is longer");
    auto fsyncs = FsyncCount();
    ASSERT_TRUE(WriteFileAtomic(path, "new"));
    EXPECT_EQ(testsupport::ReadFile(path), "new");
    EXPECT_GE(FsyncCount() - fsyncs, 2u); // the file and its folder
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"data"});

    EXPECT_FALSE(WriteFileAtomic(dir / "missing/data", "x"));
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"data"});
}

TEST(FilesTest, ConcurrentAtomicWritersNeverMixTheirData)
{
    testsupport::TempDir dir;
    std::string path = dir / "shared";
    std::vector<std::string> payloads;
    for (char c : std::string("abcd"))
        payloads.emplace_back(256 * 1024, c);
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (const std::string& p : payloads)
        writers.emplace_back([&, &p = p] {
            for (int i = 0; i < 20; ++i)
                if (!WriteFileAtomic(path, p))
                    ++failures;
        });
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    std::string final = testsupport::ReadFile(path);
    EXPECT_TRUE(std::set<std::string>(payloads.begin(), payloads.end()).count(final) == 1);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"shared"});
}

TEST(FilesTest, CopyBoundedAlwaysTerminatesAndReportsCuts)
{
    struct Case {
        std::size_t size;
        const char* src;
        CopyResult result;
        std::string want;
    };
    const Case cases[] = {
        {4, "abc", CopyResult::Copied, "abc"},
        {4, "abcd", CopyResult::Truncated, "abc"},
        {4, "", CopyResult::Copied, ""},
        {4, nullptr, CopyResult::Copied, ""},
        {1, "a", CopyResult::Truncated, ""},
    };
    for (const Case& c : cases) {
        char buf[8];
        std::fill(std::begin(buf), std::end(buf), '#');
        EXPECT_EQ(CopyBounded(std::span<char>(buf, c.size), c.src), c.result) << c.size;
        EXPECT_EQ(std::string(buf), c.want);
        EXPECT_EQ(buf[c.size], '#') << "wrote past the field";
    }
    EXPECT_EQ(CopyBounded(std::span<char>(), ""), CopyResult::Copied);
    EXPECT_EQ(CopyBounded(std::span<char>(), "a"), CopyResult::Truncated);
}

TEST(FilesTest, UniqueFdClosesWhatItOwns)
{
    int raw = -1;
    {
        UniqueFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        raw = fd.get();
        UniqueFd moved(std::move(fd));
        EXPECT_FALSE(fd);
        EXPECT_EQ(moved.get(), raw);
    }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);

    UniqueFd kept(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    int released = kept.release();
    EXPECT_FALSE(kept);
    EXPECT_NE(::fcntl(released, F_GETFD), -1);
    ::close(released);
}

} // namespace
