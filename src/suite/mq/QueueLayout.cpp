#include "suite/mq/QueueLayout.h"

#include "suite/mq/EntryId.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace locmail::mq {
namespace {

constexpr std::size_t kMaxChannelName = 64;
constexpr const char* kSubfolders[] = {"entries", "channels", "tmp", "corrupt"};

bool IsAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

std::string Reason(const std::string& what, const std::string& path, int err)
{
    return what + " " + path + ": " + std::strerror(err);
}

} // namespace

std::string QueuePaths::Entries() const { return PathJoin(dir_, "entries"); }
std::string QueuePaths::Channels() const { return PathJoin(dir_, "channels"); }
std::string QueuePaths::Tmp() const { return PathJoin(dir_, "tmp"); }
std::string QueuePaths::Corrupt() const { return PathJoin(dir_, "corrupt"); }
std::string QueuePaths::Seq() const { return PathJoin(dir_, "seq"); }
std::string QueuePaths::Sent() const { return PathJoin(dir_, "sent"); }
std::string QueuePaths::Hold() const { return PathJoin(dir_, "hold"); }
std::string QueuePaths::InFlight() const { return PathJoin(dir_, "inflight"); }
std::string QueuePaths::SentRecord(std::string_view key) const { return PathJoin(Sent(), key); }

std::string QueuePaths::Channel(std::string_view normalisedName) const
{
    return PathJoin(Channels(), normalisedName);
}

std::string QueuePaths::Marker(std::string_view normalisedName, uint32_t id) const
{
    return PathJoin(Channel(normalisedName), EntryName(id));
}

std::string QueuePaths::EntryFile(uint32_t id, std::string_view ext) const
{
    return PathJoin(Entries(), EntryName(id) + std::string(ext));
}

std::string QueuePaths::HoldFile(uint32_t id, std::string_view ext) const
{
    return PathJoin(Hold(), EntryName(id) + std::string(ext));
}

std::string QueuePaths::TmpFile(uint32_t id, std::string_view ext) const
{
    return PathJoin(Tmp(), EntryName(id) + std::string(ext));
}

std::optional<std::string> NormaliseChannelName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxChannelName || !IsAsciiAlnum(name.front()))
        return std::nullopt;
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (!IsAsciiAlnum(c) && c != '.' && c != '_' && c != '-')
            return std::nullopt;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

bool CreateQueueDirectory(const std::string& path, std::string* fault)
{
    auto fail = [&](std::string text) {
        if (fault)
            *fault = std::move(text);
        return false;
    };
    if (path.empty())
        return fail("no queue directory given");
    if (!IsAbsoluteBelowRoot(path))
        return fail("the queue directory '" + path + "' must be an absolute path below /");
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec)
        return fail("cannot create " + path + ": " + ec.message());
    for (const char* sub : kSubfolders) {
        std::string dir = PathJoin(path, sub);
        if (MakeDirectory(dir, 0750) != 0 && errno != EEXIST)
            return fail(Reason("cannot create", dir, errno));
        if (!IsDirectory(dir))
            return fail(dir + " exists and is not a directory");
    }
    std::string seq = PathJoin(path, "seq");
    UniqueFd fd(::open(seq.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0640));
    if (!fd)
        return fail(Reason("cannot create", seq, errno));
    return true;
}

std::string CheckQueueLayout(const std::string& path)
{
    if (!IsDirectory(path))
        return "queue directory " + path + " does not exist";
    for (const char* sub : kSubfolders) {
        std::string dir = PathJoin(path, sub);
        if (!IsDirectory(dir))
            return "queue directory " + path + " has no " + sub + " folder";
        if (::access(dir.c_str(), W_OK | X_OK) != 0)
            return Reason("cannot write to", dir, errno);
    }
    std::string seq = PathJoin(path, "seq");
    if (FileExists(seq) && ::access(seq.c_str(), R_OK | W_OK) != 0)
        return Reason("cannot use", seq, errno);
    return {};
}

} // namespace locmail::mq
