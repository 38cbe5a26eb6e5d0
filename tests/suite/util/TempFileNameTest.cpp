#include "suite/util/TempFileName.h"

#include "suite/log/CaptureLog.h"

#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

using testing::ElementsAre;
using testing::IsEmpty;
using testing::MatchesRegex;

namespace {

// Sets or unsets TMPDIR for one test and puts the old value back.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const char* value)
    {
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        if (value)
            ::setenv("TMPDIR", value, 1);
        else
            ::unsetenv("TMPDIR");
    }
    ~ScopedTmpdir()
    {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> old_;
};

// Owns a name from VEXGetTempFileName for the length of a test.
struct TempName {
    char* name;
    ~TempName() { MimeFreeFile(name); }
    std::string str() const { return name ? name : ""; }
};

TEST(VEXGetTempFileName, CreatesUniqueEmptyPrivateFilesWithThePrefix)
{
    testsupport::TempDir dir;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        TempName temp{VEXGetTempFileName(dir.path().c_str(), "lmda")};
        ASSERT_NE(temp.name, nullptr);
        EXPECT_THAT(temp.str(), MatchesRegex(dir.path().string() + "/lmda[A-Za-z0-9]{6}"));
        struct stat st;
        ASSERT_EQ(::stat(temp.name, &st), 0) << temp.str() << " was not created";
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_TRUE(seen.insert(temp.str()).second) << temp.str() << " handed out twice";
        // FreeString keeps the file, so a later name colliding with it could not be created.
        FreeString(temp.name);
        temp.name = nullptr;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 200);
}

TEST(VEXGetTempFileName, WithoutAFolderUsesTmpdirThenTmp)
{
    testsupport::TempDir dir;
    {
        ScopedTmpdir tmpdir(dir.path().c_str());
        TempName temp{VEXGetTempFileName(nullptr, "bay")};
        EXPECT_THAT(temp.str(), MatchesRegex(dir.path().string() + "/bay.{6}"));
    }
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        ScopedTmpdir tmpdir(unset);
        TempName temp{VEXGetTempFileName(nullptr, "lmda")};
        EXPECT_THAT(temp.str(), MatchesRegex("/tmp/lmda.{6}"));
    }
}

TEST(VEXGetTempFileName, FailuresGiveNull)
{
    testsupport::TempDir dir;
    errno = 0;
    EXPECT_EQ(VEXGetTempFileName((dir / "missing").c_str(), "lmda"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(VEXGetTempFileName(dir.path().c_str(), "../escape"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(MimeFreeFile, RemovesTheFile)
{
    testsupport::TempDir dir;
    locmail::log::CaptureLog log;
    char* name = VEXGetTempFileName(dir.path().c_str(), "lmda");
    ASSERT_NE(name, nullptr);
    testsupport::WriteFile(name, "working copy\r\n");
    MimeFreeFile(name);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    char* gone = VEXGetTempFileName(dir.path().c_str(), "lmda");
    ASSERT_NE(gone, nullptr);
    std::filesystem::remove(gone);
    MimeFreeFile(gone); // the file already gone is not worth a line
    MimeFreeFile(nullptr);
    FreeString(nullptr);
    EXPECT_THAT(log.Lines(), IsEmpty());
}

TEST(MimeFreeFile, LogsAFileItCannotRemove)
{
    testsupport::TempDir dir;
    locmail::log::CaptureLog log;
    char* name = VEXGetTempFileName(dir.path().c_str(), "lmda");
    ASSERT_NE(name, nullptr);
    const std::string path = name;
    std::filesystem::remove(path);
    std::filesystem::create_directory(path); // unlink refuses a directory
    MimeFreeFile(name);
    EXPECT_THAT(log.Lines(), ElementsAre("2 Utility: Cannot remove temporary file " + path + ": Is a directory"));
}

} // namespace
