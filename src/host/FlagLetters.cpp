#include "host/FlagLetters.h"

namespace locmail::host {

std::string LettersOf(std::span<const FlagLetter> table, std::uint32_t flags)
{
    std::string letters;
    for (const FlagLetter& f : table)
        if (flags & f.bit)
            letters += f.letter;
    return letters;
}

std::uint32_t BitsOf(std::span<const FlagLetter> table, std::string_view letters)
{
    std::uint32_t bits = 0;
    for (const FlagLetter& f : table)
        if (letters.find(f.letter) != std::string_view::npos)
            bits |= f.bit;
    return bits;
}

} // namespace locmail::host
