// Line files: buffered reading and writing of text files one line at a time,
// for the routines that copy a message while rewriting its header.
//
// A handle is an opaque locmail::LineFile*; null means the open failed (errno
// tells why). Reads and writes go through a 64 KiB buffer over a raw fd.
// - GetLine hands out one line WITH its line end ("\r\n" or "\n"), so the empty
//   line after a header is exactly "\r\n". A last line without a line end is
//   still a line. Lines may be of any length and may hold NUL bytes.
// - PutLine writes its bytes as given; the caller supplies the line end.
// - FileClose flushes and closes; a failed flush or close makes it return false.
//   A failed write is sticky: every later PutLine and the FileClose fail too,
//   so one check at the end is enough. Nothing is fsynced here.
// A handle serves one thread at a time. Prefer locmail::UniqueLineFile, which
// closes an abandoned handle and lets the success path close explicitly.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace locmail {
class LineFile;
}

// Access words as the callers pass them; exactly one of the two per handle.
inline constexpr unsigned long GENERIC_READ = 0x80000000UL;
inline constexpr unsigned long GENERIC_WRITE = 0x40000000UL;

// Opens an existing file: for reading with GENERIC_READ, for writing at its
// start (without truncating) with GENERIC_WRITE. FLAGS is accepted for the
// callers' signature (they pass 1) and has no meaning here.
// Null on failure: the file cannot be opened, is a directory (EISDIR), is opened
// for reading and is no regular file (EINVAL; a FIFO is never waited on), or
// ACCESS is not exactly one of the two (EINVAL).
locmail::LineFile* FileOpen(const char* path, unsigned long access, int flags);

// Creates PATH, or truncates it when it exists, and opens it with ACCESS
// (GENERIC_WRITE in practice). A new file gets mode 0600, as messages are
// private. Null on failure, as for FileOpen.
locmail::LineFile* FileCreate(const char* path, unsigned long access, int flags);

// 1 when a line was read into LINE; 0 at the end of the file; -1 on a read error,
// a null handle or a handle opened for writing (LINE is then empty).
int GetLine(locmail::LineFile* file, std::string& line);

// 1 when LINE was written (to the buffer or the file); 0 on a write error, a null
// handle or LINE, or a handle opened for reading.
int PutLine(locmail::LineFile* file, std::string_view line);
int PutLine(locmail::LineFile* file, const char* line);

// Flushes pending output and closes. False when the flush or the close failed or
// an earlier read or write had failed; the handle is released in every case.
// Null is a no-op (true).
bool FileClose(locmail::LineFile* file);

namespace locmail {

// Owns a line file handle. The destructor closes an abandoned handle and
// ignores the result; code that needs to know that the data reached the file
// calls Close() and checks it.
class UniqueLineFile {
public:
    UniqueLineFile() = default;
    explicit UniqueLineFile(LineFile* file) : file_(file) {}
    ~UniqueLineFile() { (void)Close(); }
    UniqueLineFile(UniqueLineFile&& other) noexcept : file_(other.release()) {}
    UniqueLineFile& operator=(UniqueLineFile&& other) noexcept
    {
        if (this != &other) {
            (void)Close();
            file_ = other.release();
        }
        return *this;
    }
    UniqueLineFile(const UniqueLineFile&) = delete;
    UniqueLineFile& operator=(const UniqueLineFile&) = delete;

    LineFile* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    LineFile* release() { return std::exchange(file_, nullptr); }

    // FileClose of the handle; true when there was none.
    [[nodiscard]] bool Close() { return FileClose(release()); }

private:
    LineFile* file_ = nullptr;
};

} // namespace locmail
