// locmail store export ADDRESS [FOLDER...] (--maildir DIR | --mbox FILE) [--force]:
// a mailbox's messages, byte for byte as filed, with their flags and receipt
// dates, as a Maildir++ tree or one mbox file. Everything is written under a
// temporary name beside the target and renamed into place at the end, so an
// export that fails or is interrupted leaves the target as it was.
#include "host/Commands.h"
#include "host/ExportFormats.h"
#include "host/StoreAccess.h"
#include "suite/cclient/Accessors.h"
#include "suite/cclient/MessageParser.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

namespace locmail::host {
namespace {

namespace ms = msgstore;

// One stored message as the writers need it.
struct StoredMessage {
    std::uint32_t uid = 0;
    _msgstat stat{};
    std::string text;
};

struct FolderToExport {
    std::string name;
    std::string dir;
    std::vector<std::uint32_t> uids;
};

// A temporary file or tree beside the target; removed unless it was renamed into place.
class TemporaryTarget {
public:
    explicit TemporaryTarget(std::string path) : path_(std::move(path)) {}
    ~TemporaryTarget()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TemporaryTarget(const TemporaryTarget&) = delete;
    TemporaryTarget& operator=(const TemporaryTarget&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

std::string SystemFault(const std::string& what) { return what + ": " + std::strerror(errno); }

// "DIR/.NAME.export-XXXXXX" beside TARGET, for mkstemp or mkdtemp.
std::string TemporaryPattern(const std::string& target)
{
    std::filesystem::path path(target);
    std::string dir = path.parent_path().string();
    return (dir.empty() ? std::string(".") : dir) + "/." + path.filename().string() + ".export-XXXXXX";
}

// The folders named, or every folder with the inbox first; EX_OK or a status after a complaint.
int ChooseFolders(diamondBase& base, const ms::Account& account, const std::string& home,
                  const std::vector<std::string>& named, std::vector<FolderToExport>& out)
{
    std::vector<std::string> names;
    for (const auto& text : named)
        names.push_back(FolderArgument(text));
    if (names.empty()) {
        mailbox mbx(&base, home.c_str(), "mailbox");
        std::vector<std::pair<std::string, mbxstat>> folders;
        if (!mbx.isOpen() || ms::ListMbx(mbx, folders) != ms::kOk) {
            Complain("cannot read the folders of '" + account.address + "' in " + home);
            return EX_UNAVAILABLE;
        }
        for (const auto& folder : folders)
            names.insert(folder.first == "inbox" ? names.begin() : names.end(), folder.first);
    }
    std::set<std::string> seen;
    for (const auto& name : names) {
        if (!seen.insert(name).second)
            continue;
        ms::FolderView view;
        if (int status = ReadFolderOf(base, account, home, name, view); status != EX_OK)
            return status;
        out.push_back({name, *ms::FolderDirectory(home, name), view.uids});
    }
    return EX_OK;
}

bool ReadStored(diamondBase& base, const FolderToExport& folder, std::uint32_t uid, StoredMessage& message)
{
    msgstat stats(&base, folder.dir.c_str(), "msgstat");
    message.uid = uid;
    if (ms::GetMsgStat(stats, uid, message.stat) != ms::kOk) {
        errno = EIO;
        return false;
    }
    return ms::ReadMessageFile(ms::MessageFilePath(folder.dir, uid), message.text);
}

// Calls WRITE for each message of each folder; false after a complaint.
bool EachMessage(diamondBase& base, const std::vector<FolderToExport>& folders,
                 const std::function<bool(std::size_t, const StoredMessage&)>& write)
{
    for (std::size_t index = 0; index < folders.size(); ++index) {
        for (std::uint32_t uid : folders[index].uids) {
            StoredMessage message;
            if (!ReadStored(base, folders[index], uid, message)) {
                Complain(
                    SystemFault("cannot read message " + std::to_string(uid) + " of '" + folders[index].name + "'"));
                return false;
            }
            if (!write(index, message))
                return false;
        }
    }
    return true;
}

bool MakeMaildir(const std::string& dir, bool subfolder)
{
    for (const char* part : {"", "/cur", "/new", "/tmp"})
        if (::mkdir((dir + part).c_str(), 0700) != 0 && !(errno == EEXIST && *part == '\0')) {
            Complain(SystemFault("cannot make " + dir + part));
            return false;
        }
    if (!subfolder)
        return true;
    // Maildir++ marks a subfolder so that readers do not take it for a mailbox of its own.
    UniqueFd mark(::open((dir + "/maildirfolder").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    if (!mark)
        Complain(SystemFault("cannot make " + dir + "/maildirfolder"));
    return static_cast<bool>(mark);
}

std::string HostName()
{
    char name[256] = "localhost";
    ::gethostname(name, sizeof name - 1);
    std::string out = name;
    for (char& c : out)
        if (c == '/' || c == ':')
            c = '_';
    return out;
}

bool WriteMaildirMessage(const std::string& dir, std::size_t folderIndex, const StoredMessage& message,
                         const std::string& host)
{
    const std::int64_t date = InternalDate(message.stat);
    const std::string path = dir + "/cur/" + std::to_string(date) + ".U" + std::to_string(message.uid) + "F" +
                             std::to_string(folderIndex) + "." + host + MaildirInfo(message.stat.systemFlags);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    const struct timespec times[2] = {{static_cast<time_t>(date), 0}, {static_cast<time_t>(date), 0}};
    if (!fd || !WriteAll(fd.get(), message.text) || ::futimens(fd.get(), times) != 0) {
        Complain(SystemFault("cannot write " + path));
        return false;
    }
    return true;
}

// Makes the tree in a temporary directory; EX_OK with its path in TREE.
int WriteMaildirTree(diamondBase& base, const std::vector<FolderToExport>& folders, const std::string& target,
                     std::unique_ptr<TemporaryTarget>& tree)
{
    std::vector<std::string> dirs;
    std::set<std::string> taken;
    for (std::size_t i = 1; i < folders.size(); ++i) {
        auto name = MaildirFolderName(folders[i].name);
        if (!name || !taken.insert(*name).second) {
            Complain("the folder '" + folders[i].name +
                     "' has no Maildir++ name (a level holds a '.'); export it "
                     "with --mbox");
            return EX_DATAERR;
        }
        dirs.push_back(*name);
    }
    std::string pattern = TemporaryPattern(target);
    if (::mkdtemp(pattern.data()) == nullptr) {
        Complain(SystemFault("cannot make a directory beside " + target));
        return EX_CANTCREAT;
    }
    tree = std::make_unique<TemporaryTarget>(pattern);
    if (!MakeMaildir(pattern, false))
        return EX_CANTCREAT;
    for (const auto& dir : dirs)
        if (!MakeMaildir(pattern + "/" + dir, true))
            return EX_CANTCREAT;
    const std::string host = HostName();
    bool ok = EachMessage(base, folders, [&](std::size_t index, const StoredMessage& message) {
        return WriteMaildirMessage(index == 0 ? pattern : pattern + "/" + dirs[index - 1], index, message, host);
    });
    return ok ? EX_OK : EX_IOERR;
}

int WriteMboxFile(diamondBase& base, const std::vector<FolderToExport>& folders, const std::string& target,
                  std::unique_ptr<TemporaryTarget>& file)
{
    std::string pattern = TemporaryPattern(target);
    UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd) {
        Complain(SystemFault("cannot make a file beside " + target));
        return EX_CANTCREAT;
    }
    file = std::make_unique<TemporaryTarget>(pattern);
    bool ok = EachMessage(base, folders, [&](std::size_t, const StoredMessage& message) {
        std::size_t headerSize = std::min<std::size_t>(message.stat.headerSize, message.text.size());
        auto parsed = cclient::ParseMessage(message.text.data(), headerSize, "", 0);
        std::string sender = cclient::EnvelopeFromAddress(parsed.envelope.get());
        if (WriteAll(fd.get(), MboxMessage(message.text, sender, InternalDate(message.stat), message.stat.systemFlags)))
            return true;
        Complain(SystemFault("cannot write " + pattern));
        return false;
    });
    if (ok && !Fsync(fd.get())) {
        Complain(SystemFault("cannot write " + pattern));
        ok = false;
    }
    return ok ? EX_OK : EX_IOERR;
}

// Puts the finished TEMPORARY at TARGET: without FORCE only where nothing is; with it, in one exchange, after
// which what was there is removed.
int PutInPlace(TemporaryTarget& temporary, const std::string& target, bool force)
{
    // The data first: a power cut must not leave a renamed target without its files.
    UniqueFd dir(::open(temporary.Path().c_str(), O_RDONLY | O_CLOEXEC));
    if (!dir || ::syncfs(dir.get()) != 0) {
        Complain(SystemFault("cannot sync " + temporary.Path()));
        return EX_IOERR;
    }
    if (::renameat2(AT_FDCWD, temporary.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        temporary.Release();
        return EX_OK;
    }
    if (errno != EEXIST || !force) {
        Complain(errno == EEXIST ? target + " exists; give --force to replace it"
                                 : SystemFault("cannot rename " + temporary.Path() + " to " + target));
        return EX_CANTCREAT;
    }
    if (::renameat2(AT_FDCWD, temporary.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
        Complain(SystemFault("cannot replace " + target));
        return EX_CANTCREAT;
    }
    return EX_OK; // TEMPORARY now names what was there, and goes with it
}

// --force replaces only what an export could have made: a Maildir (a directory with cur/) or a regular file.
int CheckTarget(const std::string& target, bool maildir, bool force)
{
    if (!FileExists(target))
        return EX_OK;
    if (!force) {
        Complain(target + " exists; give --force to replace it");
        return EX_CANTCREAT;
    }
    if (maildir ? !IsDirectory(target + "/cur") : !IsRegularFile(target)) {
        Complain(target + (maildir ? " is not a Maildir" : " is not a regular file") + "; --force does not replace it");
        return EX_CANTCREAT;
    }
    return EX_OK;
}

} // namespace

int RunStoreExport(const ExportOptions& options)
{
    if (options.maildir.empty() == options.mbox.empty()) {
        Complain("give one of --maildir DIR and --mbox FILE");
        return EX_USAGE;
    }
    const std::string target = options.maildir.empty() ? options.mbox : options.maildir;
    if (int status = CheckTarget(target, !options.maildir.empty(), options.force); status != EX_OK)
        return status;
    ms::Account account;
    std::string home;
    if (int status = OpenMailbox(options.address, account, home); status != EX_OK)
        return status;
    diamondBase base;
    std::vector<FolderToExport> folders;
    if (int status = ChooseFolders(base, account, home, options.folders, folders); status != EX_OK)
        return status;
    std::unique_ptr<TemporaryTarget> written;
    int status = options.maildir.empty() ? WriteMboxFile(base, folders, target, written)
                                         : WriteMaildirTree(base, folders, target, written);
    if (status == EX_OK)
        status = PutInPlace(*written, target, options.force);
    if (status != EX_OK)
        return status;
    std::size_t count = 0;
    for (const auto& folder : folders)
        count += folder.uids.size();
    std::printf("exported %zu message(s) from %zu folder(s) of %s to %s\n", count, folders.size(),
                account.address.c_str(), target.c_str());
    return EX_OK;
}

} // namespace locmail::host
