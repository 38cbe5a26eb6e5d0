#include "suite/util/MailboxSyntax.h"

#include <arpa/inet.h>

#include <cstring>

namespace locmail::util {
namespace {

bool IsAsciiAlnum(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsAtext(unsigned char c)
{
    return IsAsciiAlnum(c) || c >= 0x80 || std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

bool IsLetDig(unsigned char c) { return IsAsciiAlnum(c) || c >= 0x80; }

// Atoms of atext joined by single dots.
std::string DotStringProblem(std::string_view text)
{
    if (text.empty())
        return "has nothing before its '@'";
    std::size_t atom = 0;
    for (unsigned char c : text) {
        if (c == '.') {
            if (atom == 0)
                return "its local part has an empty dot-separated part";
            atom = 0;
        }
        else if (!IsAtext(c))
            return std::string("its local part holds '") + static_cast<char>(c) + "'; quote it";
        else
            ++atom;
    }
    return atom == 0 ? "its local part ends with a dot" : "";
}

std::string QuotedStringProblem(std::string_view text)
{
    if (text.size() < 2 || text.back() != '"')
        return "its quoted local part is not closed";
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            ++i;
            if (i + 1 >= text.size() || static_cast<unsigned char>(text[i]) < 32 || text[i] == 127)
                return "its quoted local part has a bad backslash pair";
        }
        else if (c == '"' || c < 32 || c == 127)
            return "its quoted local part holds a control character or a bare '\"'";
    }
    return {};
}

std::string DomainProblem(std::string_view domain)
{
    if (domain.empty())
        return "has nothing after its '@'";
    std::size_t start = 0;
    while (start <= domain.size()) {
        std::size_t end = domain.find('.', start);
        if (end == std::string_view::npos)
            end = domain.size();
        const std::string_view label = domain.substr(start, end - start);
        if (label.empty())
            return "its domain has an empty label";
        for (unsigned char c : label) {
            if (!IsLetDig(c) && c != '-')
                return std::string("its domain holds '") + static_cast<char>(c) + "'";
        }
        if (label.front() == '-' || label.back() == '-')
            return "a label of its domain starts or ends with '-'";
        start = end + 1;
    }
    return {};
}

std::string AddressLiteralProblem(std::string_view literal)
{
    if (literal.back() != ']')
        return "its address literal is not closed";
    const std::string inner(literal.substr(1, literal.size() - 2));
    unsigned char buffer[16];
    if (inet_pton(AF_INET, inner.c_str(), buffer) == 1)
        return {};
    if (inner.rfind("IPv6:", 0) == 0)
        return inet_pton(AF_INET6, inner.c_str() + 5, buffer) == 1 ? "" : "its IPv6 address literal is not an address";
    const std::size_t colon = inner.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == inner.size())
        return "its address literal is neither an IPv4 address nor tag:text";
    for (unsigned char c : inner.substr(colon + 1)) {
        if (c < 33 || c > 126 || c == '[' || c == '\\' || c == ']')
            return "its address literal holds a character it may not";
    }
    return {};
}

} // namespace

std::string LocalPartProblem(std::string_view localPart)
{
    if (localPart.empty())
        return "is empty";
    if (localPart.front() == '-')
        return "starts with '-'";
    return localPart.front() == '"' ? QuotedStringProblem(localPart) : DotStringProblem(localPart);
}

std::string MailboxProblem(std::string_view mailbox)
{
    if (mailbox.empty())
        return "is empty";
    if (mailbox.front() == '-')
        return "starts with '-'";
    std::size_t at = std::string_view::npos;
    if (mailbox.front() == '"') {
        // The closing quote is the first one not escaped by a backslash.
        for (std::size_t i = 1; i < mailbox.size(); ++i) {
            if (mailbox[i] == '\\')
                ++i;
            else if (mailbox[i] == '"') {
                at = i + 1;
                break;
            }
        }
        if (at == std::string_view::npos || at >= mailbox.size() || mailbox[at] != '@')
            return "its quoted local part is not followed by '@'";
    }
    else
        at = mailbox.rfind('@');
    if (at == std::string_view::npos)
        return "has no '@'";
    const std::string_view local = mailbox.substr(0, at);
    const std::string_view domain = mailbox.substr(at + 1);
    std::string problem = local.front() == '"' ? QuotedStringProblem(local) : DotStringProblem(local);
    if (problem.empty())
        problem = !domain.empty() && domain.front() == '[' ? AddressLiteralProblem(domain) : DomainProblem(domain);
    return problem;
}

} // namespace locmail::util
