#include "suite/vexclass/CFileUtil.h"

#include "suite/vexclass/CFileUtilException.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>


#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// What Read handed out, owned; a pointer left unset is a failure.
std::pair<std::unique_ptr<char[]>, unsigned long> Read(const std::string& path)
{
    static char stale;
    char* buffer = &stale; // whatever the caller held must be overwritten
    unsigned long length = 12345;
    CFileUtil("").Read(path.c_str(), buffer, length);
    if (buffer == &stale) {
        ADD_FAILURE() << "Read left the buffer pointer unset for " << path;
        buffer = nullptr;
    }
    return {std::unique_ptr<char[]>(buffer), length};
}

TEST(CFileUtil, ReadsExactBytesAndTerminates)
{
    testsupport::TempDir dir;
    const std::string cases[] = {
        "", "Subject: a\r\n\r\nbody\r\n", std::string("with\0nul\0bytes\0", 15), std::string(3 * 1024 * 1024 + 7, 'b'),
    };
    for (const auto& text : cases) {
        testsupport::WriteFile(dir / "m.msg", text);
        auto [buffer, length] = Read(dir / "m.msg");
        ASSERT_EQ(length, text.size());
        if (text.empty()) {
            EXPECT_EQ(buffer, nullptr);
            continue;
        }
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(std::string(buffer.get(), length), text);
        EXPECT_EQ(buffer[length], '\0') << "buffer of " << text.size() << " bytes not terminated";
    }
    auto [missing, length] = Read(dir / "missing.msg");
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(length, 0u);
    // /proc files have size 0 in stat yet content when read.
    auto [status, statusLength] = Read("/proc/self/status");
    ASSERT_NE(status, nullptr);
    EXPECT_NE(std::string(status.get(), statusLength).find("Pid:"), std::string::npos);
}

TEST(CFileUtil, UnreadableFilesThrowNamingErrorAndPath)
{
    testsupport::TempDir dir;
    struct Case { std::string path; int wantCode; const char* wantError; };
    const Case cases[] = {
        {dir.path().string(), EISDIR, "Is a directory"},
        // Reading a process's memory at address 0 fails with EIO: a real read error.
        {"/proc/self/mem", EIO, "Input/output error"},
    };
    for (const auto& c : cases) {
        char* buffer = nullptr;
        unsigned long length = 0;
        try {
            CFileUtil("").Read(c.path.c_str(), buffer, length);
            delete[] buffer;
            ADD_FAILURE() << "Read of " << c.path << " did not throw";
        } catch (const CFileUtilException& e) {
            EXPECT_TRUE(buffer == nullptr && length == 0) << c.path;
            EXPECT_EQ(e.GetLastError(), c.wantCode) << c.path;
            EXPECT_STREQ(e.GetLastErrorMsg(), ("Cannot read file (" + std::string(c.wantError) + "): " + c.path).c_str());
        }
    }
}

} // namespace
