#include "host/QueueArgument.h"

#include "host/Settings.h"
#include "suite/mq/EntryId.h"
#include "suite/platform/Printable.h"

#include <cctype>
#include <ctime>

namespace locmail::host {

std::optional<std::uint32_t> QueueIdArgument(const std::string& text)
{
    std::string name = text;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto id = mq::ParseEntryName(name);
    if (!id)
        Complain("'" + PrintableText(text) +
                 "' is not a queue id (eight hex digits, as `locmail queue ls` shows them)");
    return id;
}

std::string LocalTime(std::int64_t seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[32] = "-";
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace locmail::host
