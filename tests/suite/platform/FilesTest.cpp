#include "suite/platform/Bounded.h"
#include "suite/platform/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace locmail;
using testsupport::ReadFile;

std::vector<std::string> Entries(const testsupport::TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(FilesTest, PathJoin)
{
    const char* const cases[][3] = {
        {"a", "b", "a/b"}, {"a/", "b", "a/b"}, {"/", "b", "/b"}, {"", "b", "b"},
        {"/var/spool", "q/1.msg", "/var/spool/q/1.msg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathJoin(c[0], c[1]), c[2]) << c[0] << " + " << c[1];
}

TEST(FilesTest, CopiesAndReadsReportFailures)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "src", "short");
    testsupport::WriteFile(dir / "dst", "a much longer old content");
    ASSERT_TRUE(CopyFileOver(dir / "src", dir / "dst"));
    EXPECT_EQ(ReadFile(dir / "dst"), "short");
    EXPECT_FALSE(CopyFileOver(dir / "missing", dir / "dst"));
    EXPECT_EQ(ReadFile(dir / "dst"), "short");

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
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_GE(FsyncCount() - fsyncs, 2u); // the file and its folder
    EXPECT_FALSE(WriteFileAtomic(dir / "missing/data", "x"));
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"data"});

    // Concurrent writers: the survivor is one writer's data whole, and no temporary remains.
    std::vector<std::thread> writers;
    for (char c : std::string("abcd"))
        writers.emplace_back([&, c] {
            for (int i = 0; i < 20; ++i)
                EXPECT_TRUE(WriteFileAtomic(path, std::string(256 * 1024, c)));
        });
    for (auto& w : writers)
        w.join();
    std::string final = ReadFile(path);
    ASSERT_EQ(final.size(), 256u * 1024);
    EXPECT_EQ(std::count(final.begin(), final.end(), final[0]), 256 * 1024);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"data"});
}

TEST(FilesTest, CopyBoundedAlwaysTerminatesAndReportsCuts)
{
    struct Case { std::size_t size; const char* src; CopyResult result; std::string want; };
    const Case cases[] = {
        {4, "abc", CopyResult::Copied, "abc"},   {4, "abcd", CopyResult::Truncated, "abc"},
        {4, "", CopyResult::Copied, ""},         {4, nullptr, CopyResult::Copied, ""},
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

} // namespace
