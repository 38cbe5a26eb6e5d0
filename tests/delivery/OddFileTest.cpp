// Every reader of a settings, template, filter or message file treats a FIFO,
// a directory or a device as unreadable, at once: a FIFO named antispam.cfg
// must not stall the queue. A reader that did wait would be ended by the alarm.
#include "antispam/CAntiSpamConfig.h"
#include "suite/mailsort/ScriptFile.h"
#include "suite/platform/Files.h"
#include "suite/platform/Profile.h"
#include "suite/util/LineFile.h"
#include "suite/vexclass/CFileUtil.h"
#include "suite/vexclass/CFileUtilException.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

namespace {

constexpr unsigned kWatchdogSeconds = 10;

bool RefusedAsOdd(int err) { return err == EISDIR || err == EINVAL; }

struct Reader {
    const char* name;
    // True when the reader treated PATH (DIR/antispam.cfg) as unreadable in its own way.
    std::function<bool(const testsupport::TempDir& dir, const std::string& path)> refuses;
};

const Reader kReaders[] = {
    {"ReadWholeFile",
     [](const auto&, const std::string& path) {
         std::string text = "left";
         return !locmail::ReadWholeFile(path, text) && RefusedAsOdd(errno) && text.empty();
     }},
    {"CopyFileOver (a template)",
     [](const auto& dir, const std::string& path) {
         return !locmail::CopyFileOver(path, dir / "copy") && RefusedAsOdd(errno);
     }},
    {"CFileUtil (a queued message)",
     [](const auto&, const std::string& path) {
         char* buffer = nullptr;
         unsigned long length = 0;
         try {
             CFileUtil("").Read(path.c_str(), buffer, length);
         } catch (const CFileUtilException& error) {
             return RefusedAsOdd(error.GetLastError()) && buffer == nullptr;
         }
         delete[] buffer;
         return false;
     }},
    {"FileOpen (a message being rewritten)",
     [](const auto&, const std::string& path) {
         locmail::UniqueLineFile file(FileOpen(path.c_str(), GENERIC_READ, 1));
         return !file && RefusedAsOdd(errno);
     }},
    {"GetPrivateProfileStringA (a settings file)",
     [](const auto&, const std::string& path) {
         char value[32];
         GetPrivateProfileStringA("Options", "Key", "default", value, sizeof value, path.c_str());
         return std::string(value) == "default";
     }},
    {"ReadScriptFile (a filter file)",
     [](const auto&, const std::string& path) {
         std::string text;
         return locmail::mailsort::ReadScriptFile(path, text) == locmail::mailsort::ReadResult::OpenFailed &&
                RefusedAsOdd(errno);
     }},
    {"CAntiSpamConfig", [](const auto& dir, const std::string& path) {
         locmail::log::CaptureLog log;
         CAntiSpamConfig config(dir.path().c_str());
         const auto lines = log.Lines();
         return config.GetXScannerAction() == 0 && std::string(config.GetUserSpamFolder()) == "my-spam" &&
                lines.size() == 3 &&
                lines[1].rfind("2 AntiSpam Config: Unable to read " + path + ": ", 0) == 0;
     }},
};

TEST(OddFile, EveryReaderRefusesAFifoADirectoryOrADeviceWithoutWaiting)
{
    struct Odd { const char* what; std::function<int(const std::string& path)> make; } odds[] = {
        {"FIFO", [](const std::string& path) { return ::mkfifo(path.c_str(), 0600); }},
        {"directory", [](const std::string& path) { return ::mkdir(path.c_str(), 0700); }},
        {"device", [](const std::string& path) { return ::symlink("/dev/null", path.c_str()); }},
    };
    ::alarm(kWatchdogSeconds);
    for (const Odd& odd : odds) {
        testsupport::TempDir dir;
        const std::string path = dir / "antispam.cfg";
        ASSERT_EQ(odd.make(path), 0) << odd.what;
        for (const Reader& reader : kReaders)
            EXPECT_TRUE(reader.refuses(dir, path)) << reader.name << " given a " << odd.what;
    }
    ::alarm(0);
}

} // namespace
