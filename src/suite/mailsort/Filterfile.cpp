#include "suite/mailsort/Filterfile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Filterfile::~Filterfile() { Close(); }

Filterfile::Filterfile(const Filterfile& other) { *this = other; }

Filterfile& Filterfile::operator=(const Filterfile& other)
{
    if (this == &other)
        return *this;
    Close();
    m_fd = other.m_fd >= 0 ? ::dup(other.m_fd) : -1;
    m_error = other.m_error || (other.m_fd >= 0 && m_fd < 0);
    std::memcpy(m_buffer, other.m_buffer, kBufferSize);
    m_readPos = other.m_readPos;
    m_readCount = other.m_readCount;
    m_writeCount = other.m_writeCount;
    return *this;
}

bool Filterfile::write(const char* text) { return write(text, text ? std::strlen(text) : 0); }

bool Filterfile::write(const char* data, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        if (put(data[i]) < 0)
            return false;
    return true;
}

int Filterfile::flush(int c)
{
    if (m_writeCount > 0 && !WriteAll(m_fd, m_buffer, m_writeCount)) {
        m_error = true;
        m_writeCount = 0;
        return -1;
    }
    m_writeCount = 0;
    if (c < 0)
        return 0;
    m_buffer[m_writeCount++] = static_cast<char>(c);
    return static_cast<unsigned char>(c);
}

int Filterfile::fill()
{
    if (m_fd < 0 || m_error)
        return -1;
    ssize_t n;
    do
        n = ::read(m_fd, m_buffer, kBufferSize);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        m_error = true;
    if (n <= 0)
        return -1;
    m_readPos = 1;
    m_readCount = static_cast<std::size_t>(n) - 1;
    return static_cast<unsigned char>(m_buffer[0]);
}

bool Filterfile::Close()
{
    if (m_fd < 0)
        return true;
    bool ok = flush(-1) >= 0;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    return ok;
}
