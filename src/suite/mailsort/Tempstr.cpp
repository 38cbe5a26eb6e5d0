#include "suite/mailsort/Tempstr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

Tempstr::~Tempstr() { std::free(m_data); }

void Tempstr::Reserve(unsigned long capacity)
{
    if (capacity <= m_capacity)
        return;
    // Grow by half again at least, so that appending one character at a time stays linear.
    unsigned long grown = m_capacity + m_capacity / 2;
    if (grown > capacity)
        capacity = grown;
    auto* data = static_cast<char*>(std::realloc(m_data, capacity + 1));
    if (!data)
        throw std::bad_alloc();
    if (!m_data)
        data[0] = '\0';
    m_data = data;
    m_capacity = capacity;
}

int Tempstr::operator-(const char* text) const
{
    return std::strcmp(m_data ? m_data : "", text ? text : "");
}

Tempstr& Tempstr::set(const char* text)
{
    if (text == m_data)
        return *this;
    reset();
    return append(text);
}

Tempstr& Tempstr::append(const char* text)
{
    if (!text)
        return *this;
    unsigned long length = std::strlen(text);
    // TEXT may lie inside our own buffer, which Reserve can move.
    unsigned long offset = (m_data && text >= m_data && text <= m_data + m_length) ? text - m_data : ~0UL;
    Reserve(m_length + length);
    if (offset != ~0UL)
        text = m_data + offset;
    std::memmove(m_data + m_length, text, length);
    m_length += length;
    m_data[m_length] = '\0';
    return *this;
}

Tempstr& Tempstr::append(char c)
{
    Reserve(m_length + 1);
    m_data[m_length++] = c;
    m_data[m_length] = '\0';
    return *this;
}

Tempstr& Tempstr::append(unsigned long number)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lu", number);
    return append(static_cast<const char*>(digits));
}
