#include "suite/util/LineFile.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

using locmail::UniqueLineFile;
using testsupport::ReadFile;

namespace {

constexpr std::size_t kBuffer = 64 * 1024;

std::vector<std::string> ReadAllLines(const std::string& path)
{
    UniqueLineFile in(FileOpen(path.c_str(), GENERIC_READ, 1));
    EXPECT_TRUE(in) << "cannot open " << path;
    std::vector<std::string> lines;
    std::string line;
    int rc;
    while ((rc = GetLine(in.get(), line)) == 1)
        lines.push_back(line);
    EXPECT_EQ(rc, 0) << "reading " << path << " ended in an error";
    EXPECT_EQ(GetLine(in.get(), line), 0) << "end of file must stay the end";
    EXPECT_TRUE(in.Close());
    return lines;
}

TEST(GetLine, SplitsAfterEachLineFeedKeepingTheLineEnd)
{
    struct Case { const char* name; std::string text; std::vector<std::string> want; };
    const std::string nearBoundary(kBuffer - 1, 'a'), megabyte = std::string(1 << 20, 'x') + "\r\n";
    const Case cases[] = {
        {"crlf", "To: x\r\n\r\nbody\r\n", {"To: x\r\n", "\r\n", "body\r\n"}},
        {"lf", "To: x\n\nbody\n", {"To: x\n", "\n", "body\n"}},
        {"last line without end", "a\r\nlast", {"a\r\n", "last"}},
        {"empty file", "", {}},
        {"lone carriage return is no line end", "a\rb\r\n", {"a\rb\r\n"}},
        {"nul bytes kept", std::string("x\0y\r\n\0\n", 7), {std::string("x\0y\r\n", 5), std::string("\0\n", 2)}},
        {"crlf split by the buffer", nearBoundary + "\r\nnext\n", {nearBoundary + "\r\n", "next\n"}},
        {"line feed last in the buffer", nearBoundary + "\nnext", {nearBoundary + "\n", "next"}},
        {"one megabyte line", "Subject: s\r\n" + megabyte + "tail", {"Subject: s\r\n", megabyte, "tail"}},
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        testsupport::WriteFile(dir / "in", c.text);
        EXPECT_THAT(ReadAllLines(dir / "in"), testing::ElementsAreArray(c.want)) << c.name;
    }
}

TEST(FileCreate, TruncatesOrCreatesAPrivateFileAndAnAbandonedHandleIsFlushed)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "old", "a much longer previous content\r\n");
    const std::string longer(kBuffer + 10, 'w'); // written past the buffer
    for (const std::string name : {"old", "new"}) {
        UniqueLineFile out(FileCreate((dir / name).c_str(), GENERIC_WRITE, 1));
        ASSERT_EQ(PutLine(out.get(), "Subject: s\r\n"), 1);
        ASSERT_EQ(PutLine(out.get(), longer + "\r\n"), 1);
        ASSERT_EQ(PutLine(out.get(), static_cast<const char*>(nullptr)), 0);
        ASSERT_TRUE(out.Close());
        EXPECT_EQ(ReadFile(dir / name), "Subject: s\r\n" + longer + "\r\n") << name;
    }
    struct stat st;
    ASSERT_EQ(::stat((dir / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        UniqueLineFile out(FileCreate((dir / "out").c_str(), GENERIC_WRITE, 1));
        ASSERT_EQ(PutLine(out.get(), "partial\r\n"), 1);
        UniqueLineFile moved = std::move(out);
        EXPECT_FALSE(out);
    }
    EXPECT_EQ(ReadFile(dir / "out"), "partial\r\n");
}

TEST(FileOpen, FailuresGiveNull)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "file", "x\r\n");
    struct Case { const char* name; std::string path; unsigned long access; bool create; int wantErrno; };
    const Case cases[] = {
        {"missing file", dir / "missing", GENERIC_READ, false, ENOENT},
        {"directory", dir.path().string(), GENERIC_READ, false, EISDIR},
        {"create over a directory", dir.path().string(), GENERIC_WRITE, true, EISDIR},
        {"both access words", dir / "file", GENERIC_READ | GENERIC_WRITE, false, EINVAL},
        {"no access word", dir / "file", 0, false, EINVAL},
    };
    for (const auto& c : cases) {
        errno = 0;
        locmail::LineFile* file = c.create ? FileCreate(c.path.c_str(), c.access, 1) : FileOpen(c.path.c_str(), c.access, 1);
        EXPECT_EQ(file, nullptr) << c.name;
        EXPECT_EQ(errno, c.wantErrno) << c.name;
        FileClose(file);
    }
}

TEST(LineFile, ReadAndWriteErrorsAreSticky)
{
    // Reading a process's memory at address 0 fails with EIO.
    UniqueLineFile in(FileOpen("/proc/self/mem", GENERIC_READ, 1));
    std::string line;
    EXPECT_EQ(GetLine(in.get(), line), -1);
    EXPECT_EQ(GetLine(in.get(), line), -1);
    EXPECT_FALSE(in.Close());

    // /dev/full refuses every write with ENOSPC: a buffered line fails at the close,
    // a line larger than the buffer at once.
    UniqueLineFile buffered(FileCreate("/dev/full", GENERIC_WRITE, 1));
    EXPECT_EQ(PutLine(buffered.get(), "buffered\r\n"), 1);
    EXPECT_FALSE(buffered.Close());
    UniqueLineFile out(FileCreate("/dev/full", GENERIC_WRITE, 1));
    EXPECT_EQ(PutLine(out.get(), std::string(kBuffer + 1, 'x')), 0);
    EXPECT_EQ(PutLine(out.get(), "small\r\n"), 0);
    EXPECT_FALSE(out.Close());
}

} // namespace
