#include "suite/util/LineFile.h"

#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace locmail {

class LineFile {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    LineFile(UniqueFd fd, bool forWriting, std::unique_ptr<char[]> buffer)
        : fd_(std::move(fd)), forWriting_(forWriting), buffer_(std::move(buffer))
    {
    }

    int ReadLine(std::string& line)
    {
        line.clear();
        if (forWriting_ || failed_)
            return -1;
        try {
            return ReadLineUnchecked(line);
        } catch (const std::bad_alloc&) {
            // A line too long for memory: the rest of the file cannot be read in step.
            failed_ = true;
            line.clear();
            errno = ENOMEM;
            return -1;
        }
    }

    bool Write(std::string_view data)
    {
        if (!forWriting_ || failed_)
            return false;
        if (data.size() <= kBufferSize - end_) {
            std::memcpy(buffer_.get() + end_, data.data(), data.size());
            end_ += data.size();
            return true;
        }
        if (!Flush())
            return false;
        if (data.size() < kBufferSize)
            return Write(data);
        // As long as the buffer or longer: copying it through would only cost time.
        return Check(WriteAll(fd_.get(), data));
    }

    bool Close()
    {
        bool flushed = !forWriting_ || Flush();
        bool closed = ::close(fd_.release()) == 0;
        return flushed && closed && !failed_;
    }

private:
    int ReadLineUnchecked(std::string& line)
    {
        for (;;) {
            if (TakeBuffered(line))
                return 1;
            ssize_t n = ::read(fd_.get(), buffer_.get(), kBufferSize);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                failed_ = true;
                line.clear();
                return -1;
            }
            if (n == 0)
                return line.empty() ? 0 : 1;
            begin_ = 0;
            end_ = static_cast<std::size_t>(n);
        }
    }

    // Appends buffered bytes up to and including the next line feed to LINE;
    // true when the line is complete.
    bool TakeBuffered(std::string& line)
    {
        if (begin_ == end_)
            return false;
        const char* start = buffer_.get() + begin_;
        std::size_t available = end_ - begin_;
        const void* lineFeed = std::memchr(start, '\n', available);
        std::size_t take = lineFeed ? static_cast<const char*>(lineFeed) - start + 1 : available;
        line.append(start, take);
        begin_ += take;
        return lineFeed != nullptr;
    }

    bool Flush()
    {
        if (failed_)
            return false;
        bool ok = WriteAll(fd_.get(), std::string_view(buffer_.get(), end_));
        end_ = 0;
        return Check(ok);
    }

    bool Check(bool ok)
    {
        if (!ok)
            failed_ = true;
        return ok;
    }

    UniqueFd fd_;
    bool forWriting_;
    bool failed_ = false;
    std::unique_ptr<char[]> buffer_;
    // Reading: the unread bytes are [begin_, end_). Writing: the pending bytes are [0, end_).
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

namespace {

LineFile* OpenLineFile(const char* path, unsigned long access, int extraFlags)
{
    if (path == nullptr || (access != GENERIC_READ && access != GENERIC_WRITE)) {
        errno = EINVAL;
        return nullptr;
    }
    bool forWriting = access == GENERIC_WRITE;
    // An existing file opened to be read must be a regular one: a FIFO would stall the reader.
    const bool readExisting = !forWriting && extraFlags == 0;
    UniqueFd fd = readExisting ? OpenRegularFile(path)
                               : UniqueFd(::open(path, (forWriting ? O_WRONLY : O_RDONLY) | O_CLOEXEC | extraFlags, 0600));
    // A directory is refused here, never at the first write: OpenRegularFile refuses it, and the
    // kernel refuses it to O_WRONLY and O_CREAT alike (EISDIR).
    if (!fd)
        return nullptr;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[LineFile::kBufferSize]);
    if (!buffer) {
        errno = ENOMEM;
        return nullptr;
    }
    auto* file = new (std::nothrow) LineFile(std::move(fd), forWriting, std::move(buffer));
    if (file == nullptr)
        errno = ENOMEM;
    return file;
}

} // namespace

} // namespace locmail

using locmail::LineFile;

LineFile* FileOpen(const char* path, unsigned long access, int /*flags*/)
{
    return locmail::OpenLineFile(path, access, 0);
}

LineFile* FileCreate(const char* path, unsigned long access, int /*flags*/)
{
    return locmail::OpenLineFile(path, access, O_CREAT | O_TRUNC);
}

int GetLine(LineFile* file, std::string& line)
{
    if (file == nullptr) {
        line.clear();
        return -1;
    }
    return file->ReadLine(line);
}

int PutLine(LineFile* file, std::string_view line)
{
    return file != nullptr && file->Write(line) ? 1 : 0;
}

int PutLine(LineFile* file, const char* line)
{
    return line != nullptr ? PutLine(file, std::string_view(line)) : 0;
}

bool FileClose(LineFile* file)
{
    if (file == nullptr)
        return true;
    bool ok = file->Close();
    delete file;
    return ok;
}
