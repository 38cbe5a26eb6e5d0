#include "suite/vexclass/CFileUtil.h"

#include "suite/vexclass/CFileUtilException.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

using testing::HasSubstr;

namespace {

struct ReadResult {
    std::unique_ptr<char[]> buffer;
    unsigned long length = 0;
};

ReadResult ReadWith(CFileUtil& util, const std::string& path)
{
    static char stale;
    char* buffer = &stale; // whatever the caller held must be overwritten
    unsigned long length = 12345;
    util.Read(path.c_str(), buffer, length);
    if (buffer == &stale) {
        ADD_FAILURE() << "Read left the buffer pointer unset for " << path;
        buffer = nullptr;
    }
    return {std::unique_ptr<char[]>(buffer), length};
}

// The exception's code and text for a Read that is expected to throw.
struct Failure {
    int code = 0;
    std::string message;
};

Failure ReadFailure(const std::string& path)
{
    CFileUtil util("");
    char* buffer = nullptr;
    unsigned long length = 0;
    try {
        util.Read(path.c_str(), buffer, length);
    } catch (const CFileUtilException& e) {
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(length, 0u);
        return {e.GetLastError(), e.GetLastErrorMsg()};
    }
    delete[] buffer;
    ADD_FAILURE() << "Read of " << path << " did not throw";
    return {};
}

TEST(CFileUtil, MissingOrEmptyFileGivesNullAndZero)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "empty.msg", "");
    CFileUtil util("");
    for (const std::string name : {"missing.msg", "empty.msg"}) {
        ReadResult got = ReadWith(util, dir / name);
        EXPECT_EQ(got.buffer, nullptr) << name;
        EXPECT_EQ(got.length, 0u) << name;
    }
}

TEST(CFileUtil, ReadsExactBytesAndTerminates)
{
    testsupport::TempDir dir;
    const std::string cases[] = {
        std::string("x"),
        std::string("Subject: a\r\n\r\nbody\r\n"),
        std::string("with\0nul\0bytes\0", 15),
        std::string(64 * 1024, 'a'),
        std::string(3 * 1024 * 1024 + 7, 'b'),
    };
    CFileUtil util("");
    for (const auto& text : cases) {
        testsupport::WriteFile(dir / "m.msg", text);
        ReadResult got = ReadWith(util, dir / "m.msg");
        ASSERT_NE(got.buffer, nullptr);
        ASSERT_EQ(got.length, text.size());
        EXPECT_EQ(std::string(got.buffer.get(), got.length), text);
        EXPECT_EQ(got.buffer[got.length], '\0') << "buffer of " << text.size() << " bytes not terminated";
    }
}

TEST(CFileUtil, ReadsFilesThatReportNoSize)
{
    // /proc files have size 0 in stat yet content when read.
    CFileUtil util("");
    ReadResult got = ReadWith(util, "/proc/self/status");
    ASSERT_NE(got.buffer, nullptr);
    EXPECT_THAT(std::string(got.buffer.get(), got.length), HasSubstr("Pid:"));
}

TEST(CFileUtil, UnreadableFilesThrowNamingErrorAndPath)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "file", "x");
    struct Case {
        std::string path;
        int wantCode;
        const char* wantError;
    };
    const Case cases[] = {
        {dir.path().string(), EISDIR, "Is a directory"},
        {dir / "file/under-a-file.msg", ENOTDIR, "Not a directory"},
        // Reading a process's memory at address 0 fails with EIO: a real read error.
        {"/proc/self/mem", EIO, "Input/output error"},
    };
    for (const auto& c : cases) {
        Failure got = ReadFailure(c.path);
        EXPECT_EQ(got.code, c.wantCode) << c.path;
        EXPECT_EQ(got.message, "Cannot read file (" + std::string(c.wantError) + "): " + c.path);
    }
}

TEST(CFileUtil, NoPermissionThrows)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files without permission";
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "locked.msg", "secret");
    ASSERT_EQ(::chmod((dir / "locked.msg").c_str(), 0), 0);
    Failure got = ReadFailure(dir / "locked.msg");
    EXPECT_EQ(got.code, EACCES);
    EXPECT_EQ(got.message, "Cannot read file (Permission denied): " + (dir / "locked.msg"));
}

} // namespace
