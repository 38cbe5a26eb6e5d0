#include "host/MessageInput.h"

namespace locmail::host {

std::string ToCrlfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    char previous = '\0';
    for (char c : text) {
        if (c == '\n' && previous != '\r')
            out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

std::string AddressProblem(std::string_view address, bool isSender)
{
    constexpr std::size_t kAddressField = 1024;
    if (address.empty())
        return isSender ? "" : "empty recipient address";
    if (address.size() >= kAddressField)
        return "address longer than 1023 characters";
    for (unsigned char c : address) {
        if (c < 0x20 || c == 0x7f)
            return "address contains a control character";
    }
    return "";
}

} // namespace locmail::host
