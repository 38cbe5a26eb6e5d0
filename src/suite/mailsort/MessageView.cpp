#include "suite/mailsort/MessageView.h"

namespace locmail::mailsort {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool IsFieldName(std::string_view name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f)
            return false;
    return true;
}

} // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::size_t HeaderLength(std::string_view message)
{
    std::size_t pos = 0;
    while (pos < message.size()) {
        std::size_t end = message.find('\n', pos);
        if (end == std::string_view::npos)
            return message.size();
        std::string_view line = message.substr(pos, end - pos);
        if (line.empty() || line == "\r")
            return end + 1;
        pos = end + 1;
    }
    return message.size();
}

MessageView::MessageView(std::string_view header, uint64_t size, std::string envelopeFrom, std::string envelopeTo)
    : size_(size), envelopeFrom_(std::move(envelopeFrom)), envelopeTo_(std::move(envelopeTo))
{
    bool inField = false;
    std::string* folded = nullptr; // the copy of the current field, once it has a continuation
    std::string_view raw;          // the current field's value as written on its first line
    std::size_t pos = 0;
    while (pos < header.size()) {
        std::size_t end = header.find('\n', pos);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view line = header.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (!inField)
                continue;
            if (!folded)
                folded = &unfolded_.emplace_back(raw);
            folded->append(line);
            fields_.back().value = *folded;
            continue;
        }
        if (folded)
            fields_.back().value = Trim(*folded);
        folded = nullptr;
        std::size_t colon = line.find(':');
        std::string_view name = colon == std::string_view::npos ? std::string_view() : Trim(line.substr(0, colon));
        inField = IsFieldName(name);
        if (inField) {
            raw = line.substr(colon + 1);
            fields_.push_back({name, Trim(raw)});
        }
    }
    if (folded)
        fields_.back().value = Trim(*folded);
}

std::vector<std::string_view> MessageView::Values(std::string_view name) const
{
    std::vector<std::string_view> values;
    for (const HeaderField& field : fields_)
        if (EqualsIgnoringCase(field.name, name))
            values.emplace_back(field.value);
    return values;
}

bool MessageView::Has(std::string_view name) const
{
    for (const HeaderField& field : fields_)
        if (EqualsIgnoringCase(field.name, name))
            return true;
    return false;
}

} // namespace locmail::mailsort
