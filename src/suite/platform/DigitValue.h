// The value of a digit of a number in a base up to 16 (0-9, a-f, A-F), and 99
// for any other character, so that "DigitValue(c) < base" tests a digit.
// Failure modes: none.
#pragma once

namespace locmail {

constexpr int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

} // namespace locmail
