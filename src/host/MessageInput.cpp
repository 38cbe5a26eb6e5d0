#include "host/MessageInput.h"

#include "delivery/QueuedHeaderSize.h"
#include "suite/util/MailboxSyntax.h"

#include <limits>

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

std::string MessageShapeProblem(std::string_view text)
{
    if (text.size() > std::numeric_limits<uint32_t>::max())
        return "it is larger than 4 GiB";
    if (locmail::delivery::QueuedHeaderSize(text.data(), static_cast<uint32_t>(text.size())) == 0)
        return "its header has no end (no empty line after the header lines, and no line feed ending the "
               "last one)";
    return "";
}

std::string AddressProblem(std::string_view address, bool isSender)
{
    constexpr std::size_t kAddressField = 1024;
    if (isSender && IsNullSender(address))
        return "";
    if (address.size() >= kAddressField)
        return "address longer than 1023 characters";
    if (std::string problem = util::MailboxProblem(address); !problem.empty())
        return "not a mailbox (" + problem + ")";
    return "";
}

bool IsNullSender(std::string_view address) { return address.empty() || address == "<>"; }

} // namespace locmail::host
