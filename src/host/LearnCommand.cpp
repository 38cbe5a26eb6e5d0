// locmail learn --spam|--ham [--unlearn] ADDRESS FOLDER UID...: trains the
// user's word list on stored messages with the configured Add/Remove...
// MessageCommand. While it runs it announces itself in the learning pid file
// ([Gateway] QueueDirectory/bayesianlearn.pid, the id as 4 bytes, little-endian)
// and holds the home's bayesian.lock, so a delivery waits for it (at most
// [BayesianFilter] TimeOut minutes) instead of filtering against a word list
// half written. A message learnt as spam moves to the user's spam folder when
// ActionOnTrainedSpamMessage is "Move", one learnt as ham to the inbox unless
// ActionOnTrainedHamMessage is "Delete"; learn never deletes mail, so "Delete"
// leaves the message where it is.
#include "antispam/CAntiSpamConfig.h"
#include "bayes/CBayesianFilter.h"
#include "bayes/CommandLineTemplate.h"
#include "host/Commands.h"
#include "host/StoreAccess.h"
#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageMove.h"
#include "suite/platform/Files.h"
#include "suite/platform/Sleep.h"
#include "suite/platform/UniqueFd.h"
#include "suite/util/TempFileName.h"

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace locmail::host {
namespace {

namespace ms = msgstore;

// How long to wait for a delivery's hold on the home beyond its program's time limit.
constexpr int kLockGraceSeconds = 10;

const std::string& CommandFor(const CBayesianFilter& filter, const LearnOptions& options, const char*& key)
{
    if (options.spam) {
        key = options.unlearn ? "RemoveSpamMessageCommand" : "AddSpamMessageCommand";
        return options.unlearn ? filter.GetRemoveSpamMessageCommand() : filter.GetAddSpamMessageCommand();
    }
    key = options.unlearn ? "RemoveHamMessageCommand" : "AddHamMessageCommand";
    return options.unlearn ? filter.GetRemoveHamMessageCommand() : filter.GetAddHamMessageCommand();
}

// The learning pid file, naming this process while it exists.
class LearnerAnnouncement {
public:
    explicit LearnerAnnouncement(std::string path) : path_(std::move(path)) {}
    ~LearnerAnnouncement()
    {
        if (written_)
            std::remove(path_.c_str());
    }
    LearnerAnnouncement(const LearnerAnnouncement&) = delete;
    LearnerAnnouncement& operator=(const LearnerAnnouncement&) = delete;

    bool Write()
    {
        const auto pid = static_cast<std::uint32_t>(::getpid());
        const char bytes[4] = {static_cast<char>(pid & 0xFF), static_cast<char>((pid >> 8) & 0xFF),
                               static_cast<char>((pid >> 16) & 0xFF), static_cast<char>((pid >> 24) & 0xFF)};
        written_ = WriteFileAtomic(path_, std::string_view(bytes, sizeof bytes), 0644);
        return written_;
    }

private:
    std::string path_;
    bool written_ = false;
};

// The home's bayesian.lock, taken once a delivery in progress has let it go.
class HomeHold {
public:
    explicit HomeHold(const std::string& home) : path_(PathJoin(home, "bayesian.lock")) {}
    ~HomeHold() { std::remove(path_.c_str()); }
    HomeHold(const HomeHold&) = delete;
    HomeHold& operator=(const HomeHold&) = delete;

    // False when the lock was still there after SECONDS: left over by a
    // delivery that ended without removing it, so it is taken over.
    bool Take(int seconds)
    {
        for (int waited = 0; waited < seconds; ++waited) {
            const int fd = ::open(path_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::close(fd);
                return true;
            }
            if (errno != EEXIST)
                return true; // the delivery side proceeds the same way when the file cannot be made
            Sleep(1000);
        }
        return false;
    }

private:
    std::string path_;
};

struct TempFileRelease {
    void operator()(char* name) const noexcept { MimeFreeFile(name); }
};

// Runs COMMAND over the stored message UID; EX_OK when the program ended with 0.
int TrainOne(CBayesianFilter& filter, const std::string& command, const LearnOptions& options, const std::string& home,
             const std::string& folderDir, std::uint32_t uid)
{
    std::string text;
    if (!ms::ReadMessageFile(ms::MessageFilePath(folderDir, uid), text)) {
        Complain("no message " + std::to_string(uid) + " in the folder '" + options.folder + "' of '" +
                 options.address + "'; see `locmail store ls " + options.address + " " + options.folder + "`");
        return EX_NOINPUT;
    }
    std::unique_ptr<char, TempFileRelease> copy(VEXGetTempFileName(nullptr, "lmlr"));
    UniqueFd fd(copy ? ::open(copy.get(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1);
    if (!fd || !WriteAll(fd.get(), text)) {
        Complain(std::string("cannot write a temporary copy of the message: ") + std::strerror(errno));
        return EX_IOERR;
    }
    fd.reset();
    const std::string dataPath = PathJoin(home, ".bayesian");
    const auto call = bayes::BuildProgramCall(command, {"", options.address.c_str(), dataPath.c_str(), copy.get(), ""});
    const int exitCode = filter.RunCommand(call, copy.get());
    if (exitCode != 0) {
        Complain("message " + std::to_string(uid) + ": `" + call.commandLine + "` ended with " +
                 std::to_string(exitCode) + " (see the log)");
        return EX_UNAVAILABLE;
    }
    std::printf("message %u %s\n", uid,
                options.unlearn ? "taken back" : (options.spam ? "learnt as spam" : "learnt as ham"));
    return EX_OK;
}

// Where a message just learnt goes: nowhere (empty) unless the settings say to move it.
std::string TrainedMessageFolder(const CBayesianFilter& filter, const LearnOptions& options, const std::string& home)
{
    if (options.unlearn)
        return {};
    if (options.spam)
        return filter.MovesTrainedSpam() ? CAntiSpamConfig(home.c_str()).GetUserSpamFolder() : std::string();
    return filter.MovesTrainedHam() ? std::string("inbox") : std::string();
}

int MoveTrained(const std::string& storeHome, const std::string& home, const std::string& folder, std::uint32_t uid,
                const std::string& target)
{
    diamondBase base;
    const ms::MoveResult moved = ms::MoveMessage(base, storeHome, home, folder, uid, target);
    if (!moved.ok()) {
        Complain("message " + std::to_string(uid) + " was learnt but not moved to '" + target + "': " + moved.detail +
                 " (" + std::strerror(moved.error) + ")");
        return EX_TEMPFAIL;
    }
    if (ms::NormalizeFolderPath(target) != ms::NormalizeFolderPath(folder))
        std::printf("message %u moved to %s as %u\n", uid, target.c_str(), moved.uid);
    return EX_OK;
}

} // namespace

int RunLearn(const LearnOptions& options)
{
    if (options.spam == options.ham) {
        Complain("say --spam or --ham");
        return EX_USAGE;
    }
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    ms::Account account;
    std::string home;
    if (int status = FindMailbox(store, options.address, account, home); status != EX_OK)
        return status;
    if (account.shared) {
        Complain("'" + account.address + "' is a shared mailbox; only users have word lists");
        return EX_USAGE;
    }
    std::string folder = options.folder;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    const auto folderDir = ms::FolderDirectory(home, ms::NormalizeFolderPath(folder));
    if (!folderDir) {
        Complain("'" + options.folder + "' is not a folder name");
        return EX_USAGE;
    }

    CBayesianFilter filter;
    const char* key = "";
    const std::string& command = CommandFor(filter, options, key);
    if (filter.GetType() != CBayesianFilter::kTypeExe || command.empty()) {
        Complain(std::string("no ") + key + " for a filter program (Type=EXE) in [BayesianFilter] of " +
                 store.settings.configFile);
        return EX_CONFIG;
    }
    if (filter.GetLearnPidPath().empty()) {
        Complain("[Gateway] QueueDirectory is empty in " + store.settings.configFile +
                 "; the learning pid file goes there");
        return EX_CONFIG;
    }
    if (filter.IsLearnerRunning()) {
        Complain("another learner is running (" + filter.GetLearnPidPath() + "); try again when it has finished");
        return EX_TEMPFAIL;
    }
    LearnerAnnouncement announcement(filter.GetLearnPidPath());
    if (!announcement.Write()) {
        Complain("cannot write " + filter.GetLearnPidPath() + ": " + std::strerror(errno));
        return EX_CANTCREAT;
    }
    HomeHold hold(home);
    if (!hold.Take(filter.GetProgramTimeOut() + kLockGraceSeconds))
        std::fprintf(stderr, "locmail: taking over a bayesian.lock left in %s\n", home.c_str());

    const std::string target = TrainedMessageFolder(filter, options, home);
    int status = EX_OK;
    for (std::uint32_t uid : options.uids) {
        int one = TrainOne(filter, command, options, home, *folderDir, uid);
        if (one == EX_OK && !target.empty())
            one = MoveTrained(store.settings.storeHome, home, folder, uid, target);
        if (status == EX_OK)
            status = one;
    }
    return status;
}

} // namespace locmail::host
