#include "suite/util/TempFileName.h"

#include "support/CaptureLog.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

TEST(VEXGetTempFileName, CreatesUniqueEmptyPrivateFilesWithThePrefix)
{
    testsupport::TempDir dir;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        char* name = VEXGetTempFileName(dir.path().c_str(), "lmda");
        ASSERT_NE(name, nullptr);
        EXPECT_THAT(name, MatchesRegex(dir.path().string() + "/lmda[A-Za-z0-9]{6}"));
        struct stat st;
        ASSERT_EQ(::stat(name, &st), 0) << name << " was not created";
        EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_size == 0 && (st.st_mode & 0777) == 0600) << name;
        EXPECT_TRUE(seen.insert(name).second) << name << " handed out twice";
        FreeString(name); // keeps the file, so a later name colliding with it could not be created
    }
    errno = 0;
    EXPECT_EQ(VEXGetTempFileName((dir / "missing").c_str(), "lmda"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(VEXGetTempFileName(dir.path().c_str(), "../escape"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 200);
}

TEST(MimeFreeFile, RemovesTheFileAndLogsOnlyAFileItCannotRemove)
{
    testsupport::TempDir dir;
    locmail::log::CaptureLog log;
    char* name = VEXGetTempFileName(dir.path().c_str(), "lmda");
    testsupport::WriteFile(name, "working copy\r\n");
    MimeFreeFile(name);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    char* gone = VEXGetTempFileName(dir.path().c_str(), "lmda");
    std::filesystem::remove(gone);
    MimeFreeFile(gone); // the file already gone is not worth a line
    EXPECT_TRUE(log.Lines().empty());

    char* stuck = VEXGetTempFileName(dir.path().c_str(), "lmda");
    const std::string path = stuck;
    std::filesystem::remove(path);
    std::filesystem::create_directory(path); // unlink refuses a directory
    MimeFreeFile(stuck);
    EXPECT_THAT(log.Lines(), ElementsAre("2 Utility: Cannot remove temporary file " + path + ": Is a directory"));
}

} // namespace
