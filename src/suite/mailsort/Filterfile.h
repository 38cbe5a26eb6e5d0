// Filterfile: the rules library's buffered file over a descriptor.
//
// Contract: one 1024-byte buffer serves either reading (get, peek) or writing
// (put, write, <<); flush writes out what was put. The object owns its
// descriptor: fd(n) and the destructor close it (after a flush); a copy
// duplicates the descriptor (dup), together with the whole buffer and cursors.
// A failed read or write sets the error flag and stays set until clearerr.
// get and peek return a byte 0 to 255, or -1 at the end or after an error.
#pragma once

#include "suite/platform/Export.h"

#include <cstddef>

class LOCMAIL_EXPORT Filterfile {
public:
    static constexpr std::size_t kBufferSize = 1024;

    Filterfile() = default;
    explicit Filterfile(int fd) : m_fd(fd) {}
    virtual ~Filterfile();
    Filterfile(const Filterfile& other);
    Filterfile& operator=(const Filterfile& other);

    Filterfile& operator<<(const char* text)
    {
        write(text);
        return *this;
    }
    bool write(const char* text);
    virtual bool write(const char* data, std::size_t length);

    void clearerr() { m_error = false; }
    bool errflag() const { return m_error; }
    int fd() const { return m_fd; }
    void fd(int descriptor)
    {
        Close();
        m_readPos = m_readCount = m_writeCount = 0;
        m_fd = descriptor;
    }
    int flush() { return flush(-1); }
    int get() { return m_readCount ? (--m_readCount, static_cast<unsigned char>(m_buffer[m_readPos++])) : fill(); }
    int peek()
    {
        int c = get();
        if (c >= 0) {
            --m_readPos;
            ++m_readCount;
        }
        return c;
    }
    int put(int c)
    {
        if (m_writeCount < kBufferSize) {
            m_buffer[m_writeCount++] = static_cast<char>(c);
            return static_cast<unsigned char>(c);
        }
        return flush(c);
    }

    // Flushes and closes the descriptor; true when both went well.
    bool Close();

protected:
    // Writes the buffer and then C (unless -1); returns C as 0 to 255, 0 for
    // -1, or -1 on a write error.
    int flush(int c);
    // Refills the read buffer and returns its first byte, or -1.
    int fill();

private:
    int m_fd = -1;
    bool m_error = false;
    char m_buffer[kBufferSize] = {};
    std::size_t m_readPos = 0;
    std::size_t m_readCount = 0;
    std::size_t m_writeCount = 0;
};
