#include "host/ExportFormats.h"

#include "host/FlagLetters.h"
#include "suite/cclient/FlagParser.h"

#include <strings.h>

#include <ctime>

namespace locmail::host {
namespace {

namespace cc = cclient;

std::string MboxStatusLines(std::uint32_t flags)
{
    std::string status;
    if (flags & cc::kSeen)
        status += 'R';
    if (flags & (cc::kSeen | cc::kOld))
        status += 'O';
    const std::string extra = LettersOf(kXStatusLetters, flags);
    return (status.empty() ? "" : "Status: " + status + "\n") + (extra.empty() ? "" : "X-Status: " + extra + "\n");
}

bool StartsWithNoCase(std::string_view line, std::string_view prefix)
{
    return line.size() >= prefix.size() && ::strncasecmp(line.data(), prefix.data(), prefix.size()) == 0;
}

// Where the header of TEXT (LF lines) ends: the offset of its empty line, or npos.
std::size_t HeaderEnd(std::string_view text, bool& hasStatus)
{
    hasStatus = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t eol = text.find('\n', at);
        std::string_view line = text.substr(at, eol == std::string_view::npos ? std::string_view::npos : eol - at);
        if (line.empty())
            return at;
        hasStatus = hasStatus || StartsWithNoCase(line, "Status:") || StartsWithNoCase(line, "X-Status:");
        if (eol == std::string_view::npos)
            break;
        at = eol + 1;
    }
    return std::string_view::npos;
}

std::string WithLfLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

bool NeedsQuoting(std::string_view line)
{
    std::size_t quotes = line.find_first_not_of('>');
    return quotes != std::string_view::npos && line.substr(quotes).starts_with("From ");
}

std::string FromLine(std::string_view sender, std::int64_t date)
{
    std::string who = sender.empty() ? "MAILER-DAEMON" : std::string(sender);
    for (char& c : who)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            c = '_';
    std::time_t t = static_cast<std::time_t>(date);
    std::tm utc{};
    char when[40] = "Thu Jan  1 00:00:00 1970";
    if (gmtime_r(&t, &utc))
        std::strftime(when, sizeof when, "%a %b %e %H:%M:%S %Y", &utc);
    return "From " + who + " " + when + "\n";
}

} // namespace

std::int64_t InternalDate(const _msgstat& st)
{
    std::tm fields{};
    fields.tm_year = st.year + 70;
    fields.tm_mon = st.month - 1;
    fields.tm_mday = st.day;
    fields.tm_hour = st.hours;
    fields.tm_min = st.minutes;
    fields.tm_sec = st.seconds;
    const std::int64_t offset = (st.zoneHours * 60 + st.zoneMinutes) * 60;
    return static_cast<std::int64_t>(::timegm(&fields)) + (st.zoneWest ? offset : -offset);
}

std::string MaildirInfo(std::uint32_t systemFlags) { return ":2," + LettersOf(kMaildirLetters, systemFlags); }

std::optional<std::string> MaildirFolderName(std::string_view folder)
{
    std::string name = ".";
    for (char c : folder) {
        if (c == '.')
            return std::nullopt;
        name += c == '\\' ? '.' : c;
    }
    return name;
}

std::string MboxMessage(std::string_view text, std::string_view sender, std::int64_t date, std::uint32_t systemFlags)
{
    std::string lf = WithLfLineEnds(text);
    bool hasStatus = false;
    std::size_t headerEnd = HeaderEnd(lf, hasStatus);
    if (headerEnd != std::string::npos && !hasStatus)
        lf.insert(headerEnd, MboxStatusLines(systemFlags));
    std::string out = FromLine(sender, date);
    out.reserve(out.size() + lf.size() + lf.size() / 64 + 2);
    for (std::size_t at = 0; at < lf.size();) {
        std::size_t eol = lf.find('\n', at);
        std::size_t end = eol == std::string::npos ? lf.size() : eol + 1;
        if (NeedsQuoting(std::string_view(lf).substr(at, end - at)))
            out += '>';
        out.append(lf, at, end - at);
        at = end;
    }
    if (!out.ends_with('\n'))
        out += '\n';
    return out + "\n";
}

} // namespace locmail::host
