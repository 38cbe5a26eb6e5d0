// locmail store ls ADDRESS [FOLDER] and locmail store show ADDRESS FOLDER UID:
// a mailbox's folders with their message counts, a folder's messages, and one
// message exactly as it was filed.
#include "host/Commands.h"
#include "host/StoreAccess.h"
#include "suite/cclient/Accessors.h"
#include "suite/cclient/MessageParser.h"
#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/FolderReader.h"
#include "suite/msgstore/MailboxOps.h"
#include "suite/msgstore/MessageFile.h"
#include "suite/msgstore/MessageOps.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

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

// Headers longer than this are listed from their first part only.
constexpr std::size_t kHeaderReadLimit = 256 * 1024;

// Folder paths on the command line may use '/' between levels, as the rules do.
std::string FolderArgument(const std::string& text)
{
    std::string folder = text;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    return ms::NormalizeFolderPath(folder);
}

// One line of a listing: no line breaks or control characters from a header.
std::string Printable(std::string_view text)
{
    std::string out;
    for (unsigned char c : text)
        out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    return out;
}

std::string DateOf(const _msgstat& st)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", 1970 + st.year, st.month, st.day, st.hours,
                  st.minutes);
    return text;
}

// The header part of a stored message (after the six prefix bytes).
std::string ReadStoredHeader(const std::string& path, std::uint32_t headerSize)
{
    const std::size_t want = ms::kMessagePrefix.size() + std::min<std::size_t>(headerSize, kHeaderReadLimit);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string data(want, '\0');
    ssize_t n = fd ? ::pread(fd.get(), data.data(), want, 0) : -1;
    if (n < static_cast<ssize_t>(ms::kMessagePrefix.size()))
        return {};
    data.resize(static_cast<std::size_t>(n));
    return data.substr(ms::kMessagePrefix.size());
}

int ListFolders(const ms::Account& account, const std::string& home)
{
    diamondBase base;
    mailbox mbx(&base, home.c_str(), "mailbox");
    std::vector<std::pair<std::string, mbxstat>> folders;
    int rc = mbx.isOpen() ? ms::ListMbx(mbx, folders) : ms::kNotOpen;
    if (rc != ms::kOk) {
        Complain("cannot read the folders of '" + account.address + "' in " + home + ": " +
                 (mbx.isOpen() ? "error " + std::to_string(rc) : std::string(mbx.lastError())));
        return EX_UNAVAILABLE;
    }
    std::printf("%-32s %8s %8s\n", "FOLDER", "MESSAGES", "UNSEEN");
    for (const auto& [folder, stat] : folders)
        std::printf("%-32s %8u %8u\n", Printable(folder).c_str(), stat.totalMsgs, stat.unseenMsgs);
    std::printf("%zu folder(s) of %s\n", folders.size(), account.address.c_str());
    return EX_OK;
}

// EX_OK with the visible messages of FOLDER, or a status after a complaint.
int ReadFolderOf(diamondBase& base, const ms::Account& account, const std::string& home, const std::string& folder,
                 ms::FolderView& view)
{
    if (folder.empty() || !ms::FolderDirectory(home, folder)) {
        Complain("'" + folder + "' is not a folder name");
        return EX_USAGE;
    }
    mbxstat stat{};
    {
        mailbox mbx(&base, home.c_str(), "mailbox");
        int rc = mbx.isOpen() ? GetMbxStat(mbx, folder.c_str(), stat) : ms::kNotOpen;
        if (rc == ms::kNotFound) {
            Complain("no folder '" + folder + "' in the mailbox of '" + account.address + "'; see `locmail store ls " +
                     account.address + "`");
            return EX_NOINPUT;
        }
        if (rc != ms::kOk) {
            Complain("cannot read the folders of '" + account.address + "' in " + home);
            return EX_UNAVAILABLE;
        }
    }
    if (int rc = ms::ReadFolder(base, home, folder, view); rc != ms::kOk) {
        Complain("cannot read the folder '" + folder + "' of '" + account.address + "' (error " + std::to_string(rc) +
                 ")");
        return EX_UNAVAILABLE;
    }
    return EX_OK;
}

int ListMessages(const ms::Account& account, const std::string& home, const std::string& folder)
{
    diamondBase base;
    ms::FolderView view;
    if (int status = ReadFolderOf(base, account, home, folder, view); status != EX_OK)
        return status;
    const std::string dir = *ms::FolderDirectory(home, folder);
    msgstat stats(&base, dir.c_str(), "msgstat");
    std::printf("%6s  %-16s %9s  %-32s %s\n", "UID", "DATE", "SIZE", "FROM", "SUBJECT");
    for (std::uint32_t uid : view.uids) {
        _msgstat st{};
        if (ms::GetMsgStat(stats, uid, st) != ms::kOk) {
            std::printf("%6u  (status record unreadable)\n", uid);
            continue;
        }
        const std::string header = ReadStoredHeader(ms::MessageFilePath(dir, uid), st.headerSize);
        auto parsed = cclient::ParseMessage(header.data(), header.size(), "", 0);
        std::string from = cclient::EnvelopeFromAddress(parsed.envelope.get());
        const char* subject = cclient::EnvelopeSubject(parsed.envelope.get());
        std::printf("%6u  %-16s %9u  %-32s %s\n", uid, DateOf(st).c_str(), st.size,
                    from.empty() ? "-" : Printable(from).c_str(), subject ? Printable(subject).c_str() : "");
    }
    std::printf("%zu message(s) in %s of %s\n", view.uids.size(), Printable(folder).c_str(), account.address.c_str());
    return EX_OK;
}

// Opens the store and finds the mailbox ADDRESS names, with its home directory.
int OpenMailbox(const std::string& address, ms::Account& account, std::string& home)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    return FindMailbox(store, address, account, home);
}

} // namespace

int RunStoreList(const StoreOptions& options)
{
    ms::Account account;
    std::string home;
    if (int status = OpenMailbox(options.address, account, home); status != EX_OK)
        return status;
    if (options.folder.empty())
        return ListFolders(account, home);
    return ListMessages(account, home, FolderArgument(options.folder));
}

int RunStoreShow(const StoreOptions& options)
{
    ms::Account account;
    std::string home;
    if (int status = OpenMailbox(options.address, account, home); status != EX_OK)
        return status;
    const std::string folder = FolderArgument(options.folder);
    diamondBase base;
    ms::FolderView view;
    if (int status = ReadFolderOf(base, account, home, folder, view); status != EX_OK)
        return status;
    if (!std::binary_search(view.uids.begin(), view.uids.end(), options.uid)) {
        Complain("no message " + std::to_string(options.uid) + " in the folder '" + folder + "' of '" +
                 account.address + "'; see `locmail store ls " + account.address + " " + options.folder + "`");
        return EX_NOINPUT;
    }
    const std::string path = ms::MessageFilePath(*ms::FolderDirectory(home, folder), options.uid);
    std::string text;
    if (!ms::ReadMessageFile(path, text)) {
        Complain("cannot read " + path + ": " + std::strerror(errno));
        return EX_IOERR;
    }
    if (!WriteAll(STDOUT_FILENO, text)) {
        Complain(std::string("cannot write the message: ") + std::strerror(errno));
        return EX_IOERR;
    }
    return EX_OK;
}

} // namespace locmail::host
