#include "suite/vexclass/Composing.h"

#include "suite/platform/Files.h"
#include "suite/vexclass/CMimeMsgException.h"
#include "suite/vexclass/CVEXIniSetting.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace locmail::mime {

namespace {

[[noreturn]] void BadMessage(const std::string& text)
{
    throw CMimeMsgException(CMimeMsgException::kBadMessage, text.c_str());
}

bool EndsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

std::string Compose(const cclient::Draft& draft)
{
    try {
        return cclient::ComposeMessage(draft);
    } catch (const cclient::ComposeError& e) {
        BadMessage(std::string("Cannot compose the message: ") + e.what());
    }
}

std::string Mailbox(const std::string& address, const std::string& defaultHost)
{
    try {
        return cclient::MailboxOf(address, defaultHost);
    } catch (const cclient::ComposeError& e) {
        BadMessage(std::string("Cannot compose the message: ") + e.what());
    }
}

std::string MailerDaemon(const std::string& localHost)
{
    std::string postmaster = Mailbox(CVEXIniSetting().GetPostmaster(), localHost);
    return "Mail Delivery System <MAILER-DAEMON@" + postmaster.substr(postmaster.rfind('@') + 1) + ">";
}

cclient::DraftPart ReadAttachment(const char* path)
{
    if (path == nullptr || *path == '\0')
        BadMessage("Cannot attach a file: no path was given");
    cclient::DraftPart part;
    if (!ReadWholeFile(path, part.content)) {
        int error = errno;
        std::string text = std::string("Cannot read the attachment ") + path + ": " + std::strerror(error);
        throw CMimeMsgException(error, text.c_str());
    }
    std::string_view name(path);
    if (auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    part.fileName = std::string(name);
    part.kind = EndsWith(name, ".msg") ? cclient::PartKind::Message : cclient::PartKind::File;
    return part;
}

} // namespace locmail::mime
