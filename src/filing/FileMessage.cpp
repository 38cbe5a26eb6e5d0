#include "filing/FileMessage.h"

#include "filing/CreateMbx.h"
#include "filing/EncodeMbxPath.h"
#include "antispam/FilterLog.h"
#include "suite/cclient/MessageParser.h"
#include "suite/log/LogMessage.h"
#include "suite/msgstore/Filing.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/HeaderSplit.h"
#include "suite/msgstore/Relations.h"
#include "suite/msgstore/StatusDate.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace locmail::filing {
namespace {

using locmail::msgstore::FilingStatus;

constexpr int kNoEncodedPath = -1;
constexpr int kNoFolderDirectory = -2;
constexpr int kFolderNotMade = -3;
constexpr int kNoFileSize = -4;
constexpr int kNoTextMemory = -5;
constexpr int kFileNotOpened = -6;
constexpr int kShortRead = -7;
constexpr int kNoFolderStats = -8;
constexpr int kStoringFailed = -9;

struct FreeDeleter {
    void operator()(char* p) const noexcept { std::free(p); }
};

// The message file read whole, with a NUL after its last byte.
struct MessageText {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::string_view View() const { return {bytes.get(), size}; }
};

int ReadMessageText(const char* path, MessageText& text)
{
    struct stat st {};
    if (path == nullptr || ::stat(path, &st) != 0)
        return kNoFileSize;
    text.size = static_cast<std::size_t>(st.st_size);
    text.bytes.reset(new (std::nothrow) char[text.size + 1]());
    if (!text.bytes)
        return kNoTextMemory;
    locmail::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd)
        return kFileNotOpened;
    std::size_t got = 0;
    while (got < text.size) {
        const ssize_t n = ::read(fd.get(), text.bytes.get() + got, text.size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got < text.size ? kShortRead : 0;
}

// The transaction's outcome as the routine numbers its failures.
int CodeOf(FilingStatus status, const mailbox& mbx)
{
    switch (status) {
    case FilingStatus::Filed: return 0;
    case FilingStatus::BadFolderPath:
    case FilingStatus::LockFailed:
    case FilingStatus::NoSuchFolder: return kNoFolderStats;
    // The home's relation is read first; a folder relation is written after the records begin.
    case FilingStatus::RelationUnavailable: return mbx.isOpen() ? kStoringFailed : kNoFolderStats;
    case FilingStatus::FolderFull:
    case FilingStatus::RecordFailed:
    case FilingStatus::MessageFileFailed:
    case FilingStatus::StatsUpdateFailed: return kStoringFailed;
    }
    return kStoringFailed;
}

int FileSteps(const char* homeDir, const char* messagePath, const char* folderPath)
{
    diamondBase base;
    std::optional<mailbox> mbx;
    if (homeDir != nullptr)
        mbx.emplace(&base, homeDir, "mailbox");

    const std::unique_ptr<char, FreeDeleter> encoded(EncodeMbxPath(folderPath));
    if (!encoded)
        return kNoEncodedPath;

    std::optional<std::string> folderDir;
    if (homeDir == nullptr)
        return kNoFolderDirectory;
    try {
        folderDir = locmail::msgstore::FolderDirectoryOf(homeDir, encoded.get());
    } catch (const std::bad_alloc&) {
        return kNoFolderDirectory;
    }
    // A path naming no safe directory is left to CreateMbx, which refuses it.
    if (!folderDir || !locmail::IsDirectory(*folderDir)) {
        if (!CreateMbx(*mbx, homeDir, folderPath))
            return kFolderNotMade;
    }

    MessageText text;
    if (const int code = ReadMessageText(messagePath, text); code != 0)
        return code;

    const auto split = locmail::msgstore::SplitFiledHeader(text.View());
    const auto parsed = locmail::cclient::ParseMessage(text.bytes.get(), split.parseLength,
                                                       text.bytes.get() + split.bodyOffset, split.bodyLength);

    locmail::msgstore::FilingRequest request;
    request.homeDir = homeDir;
    request.folderPath = folderPath;
    request.text = text.View();
    locmail::msgstore::StampReceiptTime(request.stat);
    request.stat.size = static_cast<std::uint32_t>(text.size);
    request.stat.headerSize = static_cast<std::uint32_t>(split.headerSize);
    request.Describe(parsed.envelope.get(), parsed.body.get());
    const auto result = locmail::msgstore::FileIntoFolder(base, request);
    return CodeOf(result.status, *mbx);
}

} // namespace

bool FileMessage(const char* homeDir, const char* messagePath, const char* folderPath)
{
    const int code = FileSteps(homeDir, messagePath, folderPath);
    if (code == 0)
        return true;
    LogMessage(1, antispam::kFilterLogModule, "FileMessage - Catch error: %d\n", code);
    return false;
}

} // namespace locmail::filing
