// locmail store ls ADDRESS [FOLDER] and locmail store show ADDRESS FOLDER UID:
// a mailbox's folders with their message counts, a folder's messages, and one
// message exactly as it was filed.
#include "host/Commands.h"
#include "host/JsonOutput.h"
#include "host/StoreAccess.h"
#include "suite/cclient/Accessors.h"
#include "suite/cclient/FlagNames.h"
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

// "\Seen \Answered", or "-" for a message without flags.
std::string FlagsOf(const _msgstat& st)
{
    std::string out;
    for (std::string_view name : cclient::SystemFlagNames(st.systemFlags))
        out.append(out.empty() ? "" : " ").append(name);
    return out.empty() ? "-" : out;
}

int ListFolders(const ms::Account& account, const std::string& home, bool json)
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
    if (json) {
        std::vector<std::string> items;
        for (const auto& [folder, stat] : folders)
            items.push_back(JsonObject()
                                .Text("folder", folder)
                                .Number("messages", stat.totalMsgs)
                                .Number("unseen", stat.unseenMsgs)
                                .Done());
        PrintJsonArray(items);
        return EX_OK;
    }
    std::printf("%-32s %8s %8s\n", "FOLDER", "MESSAGES", "UNSEEN");
    for (const auto& [folder, stat] : folders)
        std::printf("%-32s %8u %8u\n", Printable(folder).c_str(), stat.totalMsgs, stat.unseenMsgs);
    std::printf("%zu folder(s) of %s\n", folders.size(), account.address.c_str());
    return EX_OK;
}

// What a listing shows of one message; read is false when its status record is unreadable.
struct ListedMessage {
    std::uint32_t uid = 0;
    bool read = false;
    _msgstat stat{};
    std::string from;
    std::string subject;
};

ListedMessage DescribeMessage(msgstat& stats, const std::string& dir, std::uint32_t uid)
{
    ListedMessage message;
    message.uid = uid;
    if (ms::GetMsgStat(stats, uid, message.stat) != ms::kOk)
        return message;
    message.read = true;
    const std::string header = ReadStoredHeader(ms::MessageFilePath(dir, uid), message.stat.headerSize);
    auto parsed = cclient::ParseMessage(header.data(), header.size(), "", 0);
    message.from = cclient::EnvelopeFromAddress(parsed.envelope.get());
    const char* subject = cclient::EnvelopeSubject(parsed.envelope.get());
    message.subject = subject ? subject : "";
    return message;
}

// The internal date with its zone, as RFC 3339 writes it: "2026-12-06T09:05:00+01:00".
std::string IsoDateOf(const _msgstat& st)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", 1970 + st.year, st.month, st.day,
                  st.hours, st.minutes, st.seconds, st.zoneWest ? '-' : '+', st.zoneHours, st.zoneMinutes);
    return text;
}

std::string MessageJson(const ListedMessage& message)
{
    JsonObject object;
    object.Number("uid", message.uid);
    if (!message.read)
        return object.Bool("readable", false).Done();
    std::vector<std::string> flags;
    for (std::string_view name : cclient::SystemFlagNames(message.stat.systemFlags))
        flags.emplace_back(name);
    return object.Bool("readable", true)
        .Text("date", IsoDateOf(message.stat))
        .Number("size", message.stat.size)
        .Json("flags", JsonTexts(flags))
        .Text("from", message.from)
        .Text("subject", message.subject)
        .Done();
}

void PrintMessageLine(const ListedMessage& message)
{
    if (!message.read) {
        std::printf("%6u  (status record unreadable)\n", message.uid);
        return;
    }
    std::printf("%6u  %-16s %9u  %-20s %-32s %s\n", message.uid, DateOf(message.stat).c_str(), message.stat.size,
                FlagsOf(message.stat).c_str(), message.from.empty() ? "-" : Printable(message.from).c_str(),
                Printable(message.subject).c_str());
}

int ListMessages(const ms::Account& account, const std::string& home, const std::string& folder, bool json)
{
    diamondBase base;
    ms::FolderView view;
    if (int status = ReadFolderOf(base, account, home, folder, view); status != EX_OK)
        return status;
    const std::string dir = *ms::FolderDirectory(home, folder);
    msgstat stats(&base, dir.c_str(), "msgstat");
    std::vector<ListedMessage> messages;
    for (std::uint32_t uid : view.uids)
        messages.push_back(DescribeMessage(stats, dir, uid));
    if (json) {
        std::vector<std::string> items;
        for (const auto& message : messages)
            items.push_back(MessageJson(message));
        PrintJsonArray(items);
        return EX_OK;
    }
    std::printf("%6s  %-16s %9s  %-20s %-32s %s\n", "UID", "DATE", "SIZE", "FLAGS", "FROM", "SUBJECT");
    for (const auto& message : messages)
        PrintMessageLine(message);
    std::printf("%zu message(s) in %s of %s\n", view.uids.size(), Printable(folder).c_str(), account.address.c_str());
    return EX_OK;
}

} // namespace

int RunStoreList(const StoreOptions& options)
{
    ms::Account account;
    std::string home;
    if (int status = OpenMailbox(options.address, account, home); status != EX_OK)
        return status;
    if (options.folder.empty())
        return ListFolders(account, home, options.json);
    return ListMessages(account, home, FolderArgument(options.folder), options.json);
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
