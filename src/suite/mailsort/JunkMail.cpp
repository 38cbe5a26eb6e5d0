#include "suite/mailsort/JunkMail.h"

#include "suite/cclient/AddressList.h"

namespace locmail::mailsort {

namespace {

std::string_view FirstWord(std::string_view value)
{
    std::size_t end = value.find_first_of(" \t;(");
    return value.substr(0, end);
}

bool FromList(const MessageView& message)
{
    if (message.Has("List-Id") || message.Has("List-Unsubscribe"))
        return true;
    for (std::string_view value : message.Values("Precedence")) {
        std::string_view word = FirstWord(value);
        if (EqualsIgnoringCase(word, "bulk") || EqualsIgnoringCase(word, "list") || EqualsIgnoringCase(word, "junk"))
            return true;
    }
    for (std::string_view value : message.Values("Auto-Submitted"))
        if (!EqualsIgnoringCase(FirstWord(value), "no"))
            return true;
    return false;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

bool AutomaticSender(const std::string& sender)
{
    if (sender.empty() || sender == "<>")
        return true;
    for (const cclient::MailAddress& address : cclient::ParseAddressList(sender)) {
        std::string_view local = address.localPart;
        if (EqualsIgnoringCase(local, "mailer-daemon") ||
            (local.size() >= 6 && EqualsIgnoringCase(local.substr(0, 6), "owner-")) ||
            EndsWithIgnoringCase(local, "-request"))
            return true;
    }
    return false;
}

} // namespace

bool IsAddressedTo(const MessageView& message, const std::vector<std::string>& addresses)
{
    static constexpr std::string_view kRecipientFields[] = {"To", "Cc", "Bcc", "Resent-To", "Resent-Cc",
                                                            "Resent-Bcc"};
    auto named = [&](std::string_view text) {
        for (const cclient::MailAddress& address : cclient::ParseAddressList(text)) {
            std::string whole = address.localPart + "@" + address.domain;
            for (const std::string& wanted : addresses)
                if (EqualsIgnoringCase(whole, wanted))
                    return true;
        }
        return false;
    };
    for (std::string_view field : kRecipientFields)
        if (message.AnyValue(field, named))
            return true;
    return false;
}

bool IsAutoReplyForbidden(const MessageView& message, bool senderKnown)
{
    return FromList(message) || (senderKnown && AutomaticSender(message.EnvelopeFrom()));
}

} // namespace locmail::mailsort
