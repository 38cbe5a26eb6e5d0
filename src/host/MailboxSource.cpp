#include "host/MailboxSource.h"

#include "host/FlagLetters.h"
#include "host/MessageInput.h"
#include "suite/cclient/FlagNames.h"
#include "suite/platform/Files.h"
#include "suite/util/Sha256.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string_view>
#include <vector>

namespace locmail::host {
namespace {

// The flags in c-client's form ("\\Seen \\Flagged").
std::string FlagText(std::uint32_t bits)
{
    std::string text;
    for (std::string_view name : cclient::SystemFlagNames(bits))
        text.append(text.empty() ? "" : " ").append(name);
    return text;
}

std::string InternalDate(std::time_t when)
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm t {};
    if (gmtime_r(&when, &t) == nullptr)
        return {};
    char out[40];
    std::snprintf(out, sizeof out, "%02d-%s-%04d %02d:%02d:%02d +0000", t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return out;
}

// ---- Maildir -------------------------------------------------------------

std::string MaildirFlags(std::string_view name)
{
    const std::size_t info = name.find(":2,");
    return info == std::string_view::npos ? std::string() : FlagText(BitsOf(kMaildirLetters, name.substr(info + 3)));
}

std::vector<std::string> MessageNames(const std::string& dir, bool& readable)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    readable = d != nullptr;
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d.get()))
        if (e->d_name[0] != '.')
            names.emplace_back(e->d_name);
    return names;
}

class MaildirSource final : public MailboxSource {
public:
    explicit MaildirSource(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    bool Next(SourceMessage& message) override
    {
        if (next_ == paths_.size())
            return false;
        const std::string& path = paths_[next_++];
        const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
        message = SourceMessage{};
        message.identity = std::string(name.substr(0, name.find(':')));
        std::string raw;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !ReadWholeFile(path, raw)) {
            message.error = path + ": " + std::strerror(errno);
            return true;
        }
        message.text = ToCrlfLines(raw);
        message.date = InternalDate(st.st_mtime);
        if (path.compare(path.size() - name.size() - 4, 4, "cur/") == 0)
            message.flags = MaildirFlags(name);
        return true;
    }
    std::uint64_t Done() const override { return next_; }
    std::uint64_t Total() const override { return paths_.size(); }

private:
    std::vector<std::string> paths_;
    std::size_t next_ = 0;
};

// ---- mbox ----------------------------------------------------------------

// The date of a "From SENDER Wed Dec  6 12:00:00 2026" line; empty when it has none.
std::string FromLineDate(std::string_view line)
{
    while (line.ends_with('\n') || line.ends_with('\r'))
        line.remove_suffix(1);
    const std::size_t afterSender = line.find(' ', 5);
    if (afterSender == std::string_view::npos)
        return {};
    std::string rest(line.substr(afterSender + 1));
    struct tm t {};
    if (::strptime(rest.c_str(), "%a %b %d %H:%M:%S %Y", &t) == nullptr)
        return {};
    return InternalDate(::timegm(&t));
}

// ">From ", ">>From ", ...: one '>' less.
bool IsQuotedFrom(std::string_view line)
{
    const std::size_t quotes = line.find_first_not_of('>');
    return quotes != 0 && quotes != std::string_view::npos && line.substr(quotes).starts_with("From ");
}

// The flags of the Status: and X-Status: lines of the header of TEXT (LF lines).
std::string MboxFlags(std::string_view text)
{
    std::string status, extra;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        if (line.empty() || line == "\r")
            break;
        if (line.size() > 7 && strncasecmp(line.data(), "Status:", 7) == 0)
            status = line.substr(7);
        else if (line.size() > 9 && strncasecmp(line.data(), "X-Status:", 9) == 0)
            extra = line.substr(9);
        at = end + 1;
    }
    const std::uint32_t seen = status.find('R') != std::string::npos ? cclient::kSeen : 0;
    return FlagText(seen | BitsOf(kXStatusLetters, extra));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class MboxSource final : public MailboxSource {
public:
    MboxSource(File file, std::uint64_t size, std::string firstLine)
        : file_(std::move(file)), size_(size), done_(firstLine.size()), fromLine_(std::move(firstLine))
    {
    }
    ~MboxSource() override { std::free(line_); }
    MboxSource(const MboxSource&) = delete;
    MboxSource& operator=(const MboxSource&) = delete;

    bool Next(SourceMessage& message) override
    {
        if (fromLine_.empty())
            return false;
        message = SourceMessage{};
        message.date = FromLineDate(fromLine_);
        std::string text;
        fromLine_.clear();
        ssize_t n;
        while ((n = ::getline(&line_, &capacity_, file_.get())) > 0) {
            const std::string_view line(line_, static_cast<std::size_t>(n));
            done_ += static_cast<std::uint64_t>(n);
            if (line.starts_with("From ")) {
                fromLine_ = line;
                break;
            }
            text.append(IsQuotedFrom(line) ? line.substr(1) : line);
        }
        if (n < 0 && std::ferror(file_.get()))
            message.error = std::string("reading the mbox failed: ") + std::strerror(errno);
        if (text.ends_with("\n\n")) // the blank line that parts it from the next message
            text.pop_back();
        message.flags = MboxFlags(text);
        const std::string digest = util::Sha256().Add(text).Hex();
        message.identity = digest + "#" + std::to_string(++seen_[digest]);
        message.text = ToCrlfLines(text);
        return true;
    }
    std::uint64_t Done() const override { return done_; }
    std::uint64_t Total() const override { return size_; }

private:
    File file_;
    std::uint64_t size_;
    std::uint64_t done_ = 0;
    std::string fromLine_; // the "From " line of the message Next() reads; empty at the end
    char* line_ = nullptr;
    std::size_t capacity_ = 0;
    std::map<std::string, unsigned> seen_;
};

} // namespace

std::unique_ptr<MailboxSource> MailboxSource::OpenMaildir(const std::string& dir, std::string& error)
{
    std::vector<std::string> paths;
    for (const char* sub : {"cur", "new"}) {
        const std::string subdir = PathJoin(dir, sub);
        bool readable = false;
        for (std::string& name : MessageNames(subdir, readable))
            paths.push_back(PathJoin(subdir, name));
        if (!readable) {
            error = subdir + ": " + std::strerror(errno) + " (a Maildir has cur/ and new/)";
            return nullptr;
        }
    }
    // Names begin with the arrival time: their order is the mailbox's, whichever folder holds them.
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return std::strcmp(a.c_str() + a.rfind('/') + 1, b.c_str() + b.rfind('/') + 1) < 0;
    });
    return std::make_unique<MaildirSource>(std::move(paths));
}

std::unique_ptr<MailboxSource> MailboxSource::OpenMbox(const std::string& path, std::string& error)
{
    File file(std::fopen(path.c_str(), "re"));
    struct stat st {};
    if (!file || ::fstat(::fileno(file.get()), &st) != 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a file";
        return nullptr;
    }
    char* line = nullptr;
    std::size_t capacity = 0;
    const ssize_t n = ::getline(&line, &capacity, file.get());
    std::string first = n > 0 ? std::string(line, static_cast<std::size_t>(n)) : std::string();
    std::free(line);
    if (n <= 0) // an empty mailbox
        return std::make_unique<MboxSource>(std::move(file), 0, std::string());
    if (!first.starts_with("From ")) {
        error = path + ": not an mbox (it does not begin with a \"From \" line)";
        return nullptr;
    }
    return std::make_unique<MboxSource>(std::move(file), static_cast<std::uint64_t>(st.st_size), std::move(first));
}

} // namespace locmail::host
