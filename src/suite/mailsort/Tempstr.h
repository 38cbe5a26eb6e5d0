// Tempstr: the rules library's growable text buffer (data, length, capacity).
//
// Contract: the text is always terminated (the allocation holds one byte more
// than the capacity); an empty object has no buffer and converts to null.
// Comparison (operator-) orders like strcmp, a null buffer counting as "".
// Length(n) only shortens. Copying is not allowed (the buffer has one owner).
// Failure modes: growing throws std::bad_alloc and leaves the text unchanged.
#pragma once

#include "suite/platform/Export.h"

class LOCMAIL_EXPORT Tempstr {
public:
    Tempstr() = default;
    ~Tempstr();
    Tempstr(const Tempstr&) = delete;
    Tempstr& operator=(const Tempstr&) = delete;

    operator const char*() const { return m_data; }
    bool operator==(const Tempstr& other) const { return (*this - other.m_data) == 0; }
    bool operator==(const char* text) const { return (*this - text) == 0; }
    Tempstr& operator=(const char* text) { return set(text); }
    Tempstr& operator+=(const Tempstr& other) { return append(other.m_data); }
    Tempstr& operator+=(const char* text) { return append(text); }
    Tempstr& operator+=(char c)
    {
        if (m_length < m_capacity) {
            m_data[m_length++] = c;
            m_data[m_length] = '\0';
            return *this;
        }
        return append(c);
    }

    int operator-(const char* text) const;
    Tempstr& set(const char* text);
    Tempstr& set(unsigned long number)
    {
        reset();
        return append(number);
    }
    Tempstr& append(const char* text);
    Tempstr& append(char c);
    Tempstr& append(unsigned long number);

    unsigned long Length() const { return m_length; }
    void Length(unsigned long length)
    {
        if (length < m_length) {
            m_length = length;
            m_data[m_length] = '\0';
        }
    }
    char peek() const { return m_length ? m_data[m_length - 1] : '\0'; }
    char pop()
    {
        if (!m_length)
            return '\0';
        char c = m_data[--m_length];
        m_data[m_length] = '\0';
        return c;
    }
    Tempstr& push(char c) { return *this += c; }
    void reset() { Length(0); }

private:
    void Reserve(unsigned long capacity);

    char* m_data = nullptr;
    unsigned long m_length = 0;
    unsigned long m_capacity = 0;
};
